// The keys an operator trusts: given with --public-key, or listed in a
// file with --keys (one per line, for key rotation).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "audit/signing_key.h"
#include "common/result.h"

namespace orvex::audit_tool {

class PinnedKeys {
 public:
  // A key given twice counts once.
  void add(const audit::PublicKey& key);
  bool empty() const { return keys_.empty(); }
  std::size_t size() const { return keys_.size(); }
  bool contains(const audit::PublicKey& key) const;

 private:
  std::vector<audit::PublicKey> keys_;  // sorted
};

// A key as an operator writes it: 64 hexadecimal digits, either case.
Result<audit::PublicKey> parse_pinned_key(std::string_view hex);

// Adds the keys listed in the file at `path`: one key per line, surrounding
// blanks ignored; a line that is blank or starts with '#' holds none. The
// failure names the file and, for a malformed line, its number; a file that
// lists no key at all fails too.
Result<Unit> add_keys_from_file(const std::string& path, PinnedKeys& keys);

}  // namespace orvex::audit_tool
