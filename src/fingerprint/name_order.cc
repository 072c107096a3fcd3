#include "fingerprint/name_order.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvex::fingerprint {
namespace {

constexpr std::size_t kKeyBytes = sizeof(std::uint64_t);
// Radix digits of a record, least significant first: the tail, then the
// eight key bytes from the last to the first.
constexpr int kDigits = 1 + static_cast<int>(kKeyBytes);
constexpr std::size_t kBuckets = 256;
// Records ahead whose names are fetched early when names are visited out of
// the text's order (about the misses in flight a core sustains).
constexpr std::size_t kPrefetchAhead = 8;

// The record of entry `index`, whose name agrees with the rest of its group
// on the first `depth` bytes.
// REQUIRES: name.size() >= depth, index <= NameRecord::kIndexMask.
NameRecord record_at(std::string_view name, std::size_t depth, std::size_t index) {
  const std::size_t rest = name.size() - depth;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name.data()) + depth;
  std::uint64_t key = 0;
  if (rest >= kKeyBytes) {
    std::memcpy(&key, bytes, kKeyBytes);
    if constexpr (std::endian::native == std::endian::little) key = __builtin_bswap64(key);
  } else {
    for (std::size_t i = 0; i < kKeyBytes; ++i) key = (key << 8) | (i < rest ? bytes[i] : 0u);
  }
  const std::uint64_t tail = rest > kKeyBytes ? NameRecord::kNameContinues : rest;
  return {key, (tail << NameRecord::kTailShift) | index};
}

// Radix digit `digit` of a record (0: the tail, 1..8: key bytes from the
// least significant).
std::size_t digit_of(const NameRecord& r, int digit) {
  if (digit == 0) return static_cast<std::size_t>(r.tail());
  return static_cast<std::size_t>((r.key >> (8 * (digit - 1))) & 0xFF);
}

// True when a's name sorts strictly before b's. Both names agree on their
// first `depth` bytes, and both records were made at that depth.
bool name_before(const NameRecord& a, const NameRecord& b, const NameColumn& names, std::size_t depth) {
  if (a.key != b.key) return a.key < b.key;
  const std::uint64_t ta = a.tail();
  const std::uint64_t tb = b.tail();
  // With equal keys, a name that ends inside the eight bytes is a prefix
  // of every longer one; two that end at the same place are equal.
  if (ta != tb) return ta < tb;
  if (ta != NameRecord::kNameContinues) return false;
  return names[a.index()].substr(depth + kKeyBytes) < names[b.index()].substr(depth + kKeyBytes);
}

// Stable insertion sort of `count` records made at `depth`.
void insertion_sort(NameRecord* records, std::size_t count, const NameColumn& names, std::size_t depth) {
  for (std::size_t i = 1; i < count; ++i) {
    const NameRecord moving = records[i];
    std::size_t j = i;
    for (; j > 0 && name_before(moving, records[j - 1], names, depth); --j) records[j] = records[j - 1];
    records[j] = moving;
  }
}

// Stable LSD radix sort of `count` records by (key, tail), through
// `scratch` of the same size. A digit on which every record agrees costs
// no pass: names that share bytes skip them.
void radix_sort(NameRecord* records, NameRecord* scratch, std::size_t count) {
  std::size_t counts[kDigits][kBuckets] = {};
  for (std::size_t i = 0; i < count; ++i) {
    const NameRecord& r = records[i];
    ++counts[0][r.tail()];
    for (int d = 1; d < kDigits; ++d) ++counts[d][(r.key >> (8 * (d - 1))) & 0xFF];
  }
  NameRecord* from = records;
  NameRecord* to = scratch;
  for (int d = 0; d < kDigits; ++d) {
    std::size_t* bucket = counts[d];
    if (bucket[digit_of(records[0], d)] == count) continue;
    std::size_t offset = 0;
    for (std::size_t b = 0; b < kBuckets; ++b) {
      const std::size_t n = bucket[b];
      bucket[b] = offset;
      offset += n;
    }
    for (std::size_t i = 0; i < count; ++i) to[bucket[digit_of(from[i], d)]++] = from[i];
    std::swap(from, to);
  }
  if (from != records) std::memcpy(records, from, count * sizeof(NameRecord));
}

// How many bytes from `depth` on every name of the group shares.
std::size_t shared_bytes(const NameRecord* records, std::size_t count, const NameColumn& names, std::size_t depth) {
  const std::string_view first = names[records[0].index()].substr(depth);
  std::size_t shared = first.size();
  for (std::size_t i = 1; i < count && shared > 0; ++i) {
    const std::string_view other = names[records[i].index()].substr(depth);
    const std::size_t limit = std::min(shared, other.size());
    std::size_t same = 0;
    while (same + kKeyBytes <= limit && std::memcmp(first.data() + same, other.data() + same, kKeyBytes) == 0) {
      same += kKeyBytes;
    }
    while (same < limit && first[same] == other[same]) ++same;
    shared = same;
  }
  return shared;
}

// Remakes the records of a group at `depth`. The names are visited in the
// order the records are in, which after a radix pass is not the text's:
// each entry, then its name, is fetched a few records early.
void remake_records(NameRecord* records, std::size_t count, const NameColumn& names, std::size_t depth) {
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 2 * kPrefetchAhead < count) __builtin_prefetch(names.address(records[i + 2 * kPrefetchAhead].index()));
    if (i + kPrefetchAhead < count) __builtin_prefetch(names[records[i + kPrefetchAhead].index()].data() + depth);
    const std::size_t index = records[i].index();
    records[i] = record_at(names[index], depth, index);
  }
}

// A run of records whose names agree on their first `depth` bytes, in list
// order among themselves.
struct TiedRun {
  std::size_t first;
  std::size_t count;
  std::size_t depth;
};

}  // namespace

void NameOrder::sort(const NameColumn& names) {
  size_ = names.size();
  if (size_ <= kInsertionSortLimit) {
    for (std::size_t i = 0; i < size_; ++i) small_[i] = record_at(names[i], 0, i);
    insertion_sort(small_, size_, names, 0);
    sorted_ = small_;
    return;
  }
  records_.resize(size_);
  scratch_.resize(size_);
  NameRecord* const records = records_.data();
  for (std::size_t i = 0; i < size_; ++i) records[i] = {0, i};
  sorted_ = records;

  // Runs still tied wait here instead of on the call stack: names that
  // agree on thousands of bytes make thousands of levels.
  std::vector<TiedRun> runs{{0, size_, 0}};
  while (!runs.empty()) {
    const TiedRun run = runs.back();
    runs.pop_back();
    NameRecord* const first = records + run.first;
    const std::size_t depth = run.depth + shared_bytes(first, run.count, names, run.depth);
    remake_records(first, run.count, names, depth);
    if (run.count <= kTieInsertionLimit) {
      insertion_sort(first, run.count, names, depth);
      continue;
    }
    radix_sort(first, scratch_.data(), run.count);
    for (std::size_t begin = 0; begin < run.count;) {
      std::size_t end = begin + 1;
      if (first[begin].tail() == NameRecord::kNameContinues) {
        while (end < run.count && first[end].key == first[begin].key &&
               first[end].tail() == NameRecord::kNameContinues) {
          ++end;
        }
        if (end - begin > 1) runs.push_back({run.first + begin, end - begin, depth + kKeyBytes});
      }
      begin = end;
    }
  }
}

}  // namespace orvex::fingerprint
