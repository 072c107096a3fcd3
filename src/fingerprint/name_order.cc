#include "fingerprint/name_order.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvex::fingerprint {
namespace {

constexpr std::size_t kKeyBytes = sizeof(std::uint64_t);
constexpr std::size_t kBuckets = 256;

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

// Radix digit `digit` of a record, most significant first: 0..7 the key's
// bytes, kTailDigit the tail.
constexpr int kTailDigit = static_cast<int>(kKeyBytes);
std::size_t digit_of(const NameRecord& r, int digit) {
  if (digit == kTailDigit) return static_cast<std::size_t>(r.tail());
  return static_cast<std::size_t>((r.key >> (8 * (kTailDigit - 1 - digit))) & 0xFF);
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

// True when every record has the same key and all names continue past it.
bool all_tied(const NameRecord* records, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (records[i].key != records[0].key || records[i].tail() != NameRecord::kNameContinues) return false;
  }
  return true;
}

// Remakes the records of a group at `depth`. The names are visited in the
// order the records are in, which after a radix pass is not the text's:
// each entry, then its name, is fetched a few records early.
void remake_records(NameRecord* records, std::size_t count, const NameColumn& names, std::size_t depth) {
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 2 * kNamePrefetchAhead < count) __builtin_prefetch(names.address(records[i + 2 * kNamePrefetchAhead].index()));
    if (i + kNamePrefetchAhead < count) __builtin_prefetch(names[records[i + kNamePrefetchAhead].index()].data() + depth);
    const std::size_t index = records[i].index();
    records[i] = record_at(names[index], depth, index);
  }
}

// A run of records made at `depth`, whose names agree on every byte before
// digit `digit` of their records; in list order among themselves.
struct Run {
  std::size_t first;
  std::size_t count;
  std::size_t depth;
  int digit;
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

  // Runs wait here instead of on the call stack: names that agree on
  // thousands of bytes make thousands of levels.
  std::vector<Run> runs;
  // Runs tied on all their names' bytes so far start again further on. When
  // the next eight bytes tie them all again, they start past every byte
  // their names share (a long shared prefix costs one scan, not a level for
  // each eight bytes); looking for that only then spares the usual run a
  // second visit to its scattered names.
  const auto start_run = [&](std::size_t first, std::size_t count, std::size_t depth) {
    NameRecord* const run = records + first;
    remake_records(run, count, names, depth);
    if (count > kTieInsertionLimit && all_tied(run, count)) {
      depth += shared_bytes(run, count, names, depth);
      remake_records(run, count, names, depth);
    }
    runs.push_back({first, count, depth, 0});
  };
  start_run(0, size_, 0);
  while (!runs.empty()) {
    const Run run = runs.back();
    runs.pop_back();
    NameRecord* const first = records + run.first;
    if (run.count <= kTieInsertionLimit) {
      insertion_sort(first, run.count, names, run.depth);
      continue;
    }
    // Digits on which the whole run agrees need no pass: one look at every
    // record finds the first that differs.
    std::uint64_t key_differs = 0;
    std::uint64_t tail_differs = 0;
    for (std::size_t i = 0; i < run.count; ++i) {
      key_differs |= first[i].key ^ first[0].key;
      tail_differs |= first[i].tail() ^ first[0].tail();
    }
    int digit = run.digit;
    if (key_differs != 0) {
      digit = std::max(digit, std::countl_zero(key_differs) / 8);
    } else if (tail_differs != 0) {
      digit = kTailDigit;
    } else {
      // The names agree on every byte so far: all end here, equal and in
      // list order, or all go on.
      if (first[0].tail() == NameRecord::kNameContinues) start_run(run.first, run.count, run.depth + kKeyBytes);
      continue;
    }
    // One stable counting pass on the digit, most significant first, so
    // that each further pass works on a smaller run: a run soon fits in
    // cache, and one that is small enough is done by insertion.
    // Only the buckets from the lowest value to the highest are visited:
    // names are mostly letters and digits.
    std::size_t counts[kBuckets] = {};
    std::size_t lowest = kBuckets - 1;
    std::size_t highest = 0;
    for (std::size_t i = 0; i < run.count; ++i) {
      const std::size_t value = digit_of(first[i], digit);
      ++counts[value];
      lowest = std::min(lowest, value);
      highest = std::max(highest, value);
    }
    {
      std::size_t offsets[kBuckets];
      std::size_t offset = 0;
      for (std::size_t b = lowest; b <= highest; ++b) {
        offsets[b] = offset;
        offset += counts[b];
      }
      NameRecord* const out = scratch_.data();
      for (std::size_t i = 0; i < run.count; ++i) out[offsets[digit_of(first[i], digit)]++] = first[i];
      std::memcpy(first, out, run.count * sizeof(NameRecord));
    }
    std::size_t begin = run.first;
    for (std::size_t b = lowest; b <= highest; ++b) {
      const std::size_t count = counts[b];
      if (count > 1) {
        if (digit < kTailDigit) {
          runs.push_back({begin, count, run.depth, digit + 1});
        } else if (b == NameRecord::kNameContinues) {
          start_run(begin, count, run.depth + kKeyBytes);
        }
        // Otherwise the names end together: equal, in list order already.
      }
      begin += count;
    }
  }
}

}  // namespace orvex::fingerprint
