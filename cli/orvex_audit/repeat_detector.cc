#include "orvex_audit/repeat_detector.h"

namespace orvex::audit_tool {

namespace {

constexpr std::size_t kFirstSlots = 1024;

}  // namespace

LineHashKey random_line_hash_key() {
  LineHashKey key;
  crypto_shorthash_keygen(key.data());
  return key;
}

std::uint64_t line_hash(const LineHashKey& key, std::string_view line) {
  unsigned char out[crypto_shorthash_BYTES];
  crypto_shorthash(out, reinterpret_cast<const unsigned char*>(line.data()), line.size(), key.data());
  std::uint64_t hash = 0;
  for (int i = crypto_shorthash_BYTES - 1; i >= 0; --i) hash = hash << 8 | out[i];
  return hash;
}

std::optional<std::uint64_t> RepeatDetector::first_seen_as(std::uint64_t hash, std::uint64_t ordinal) {
  if (4 * (used_ + 1) > 3 * slots_.size()) grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (slot.ordinal_plus_one == 0) {
      slot = Slot{hash, ordinal + 1};
      ++used_;
      return std::nullopt;
    }
    if (slot.hash == hash) return slot.ordinal_plus_one - 1;
  }
}

void RepeatDetector::grow() {
  std::vector<Slot> old(slots_.empty() ? kFirstSlots : 2 * slots_.size(), Slot{0, 0});
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.ordinal_plus_one == 0) continue;
    std::size_t at = slot.hash & mask;
    while (slots_[at].ordinal_plus_one != 0) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

}  // namespace orvex::audit_tool
