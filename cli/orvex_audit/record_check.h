// The verdict on one line of the audit log: is it a record that its own
// public key has signed, and, when a key is pinned, is that the pinned key?
#pragma once

#include <string>
#include <string_view>

#include "audit/signing_key.h"
#include "common/result.h"
#include "orvex_audit/pinned_keys.h"

namespace orvex::audit_tool {

// The verdict depends on the line and the pinned keys alone; the checker
// only keeps memory to reuse from line to line. Lines may be checked on
// several threads, one checker each, sharing the pinned keys read-only.
class RecordChecker {
 public:
  // With pinned keys, a record signed by any other key is refused: without
  // pinning, anyone could sign a record with a key of their own.
  // REQUIRES: `pinned` outlives this object.
  explicit RecordChecker(const PinnedKeys& pinned) : pinned_(pinned) {}

  RecordChecker(const RecordChecker&) = delete;
  RecordChecker& operator=(const RecordChecker&) = delete;

  // `line` is one line of the log without its line feed. Returns the key
  // that signed it, or the one reason it is refused, the first failing check
  // winning in this order: raw carriage return, UTF-8, JSON, members (names,
  // order, compact form), key and signature hex, pinned key, signature.
  Result<audit::PublicKey> check(std::string_view line);

 private:
  const PinnedKeys& pinned_;
  // The signed text of the line being checked; kept so that its memory is
  // reused from line to line, unless a long line made it large.
  std::string signed_text_;
};

}  // namespace orvex::audit_tool
