// The distinct keys that signed valid records, each with its count, in the
// order in which they were first seen. Bounded, so that a log signed by a
// different key on every line cannot make memory grow without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "audit/signing_key.h"

namespace orvex::audit_tool {

inline constexpr std::size_t kMaxListedKeys = 1000;

class KeyTally {
 public:
  void count(const audit::PublicKey& key);

  // Each listed key and the records it signed, first seen first.
  const std::vector<std::pair<audit::PublicKey, std::uint64_t>>& listed() const { return listed_; }
  // True when keys beyond kMaxListedKeys were seen and not listed.
  bool overflowed() const { return overflowed_; }

 private:
  std::vector<std::pair<audit::PublicKey, std::uint64_t>> listed_;
  std::map<audit::PublicKey, std::size_t> index_;  // into listed_
  bool overflowed_ = false;
};

}  // namespace orvex::audit_tool
