// The verdict on one line of the audit log: is it a record that its own
// public key has signed, and, when a key is pinned, is that the pinned key?
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "audit/signing_key.h"
#include "common/result.h"

namespace orvex::audit_tool {

class RecordChecker {
 public:
  // With a pinned key, a record signed by any other key is refused: without
  // pinning, anyone could sign a record with a key of their own.
  explicit RecordChecker(std::optional<audit::PublicKey> pinned) : pinned_(pinned) {}

  RecordChecker(const RecordChecker&) = delete;
  RecordChecker& operator=(const RecordChecker&) = delete;

  // `line` is one line of the log without its line feed. Returns the key
  // that signed it, or the one reason it is refused, the first failing check
  // winning in this order: raw carriage return, UTF-8, JSON, members (names,
  // order, compact form), key and signature hex, pinned key, signature.
  Result<audit::PublicKey> check(std::string_view line);

 private:
  std::optional<audit::PublicKey> pinned_;
  // The signed text of the line being checked; kept so that its memory is
  // reused from line to line.
  std::string signed_text_;
};

}  // namespace orvex::audit_tool
