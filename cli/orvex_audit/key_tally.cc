#include "orvex_audit/key_tally.h"

namespace orvex::audit_tool {

void KeyTally::count(const audit::PublicKey& key) {
  // A log nearly always has one key: look at the last one first.
  if (!listed_.empty() && listed_.back().first == key) {
    ++listed_.back().second;
    return;
  }
  const auto found = index_.find(key);
  if (found != index_.end()) {
    ++listed_[found->second].second;
    return;
  }
  if (listed_.size() == kMaxListedKeys) {
    overflowed_ = true;
    return;
  }
  index_.emplace(key, listed_.size());
  listed_.emplace_back(key, 1);
}

}  // namespace orvex::audit_tool
