// The order of a list's entries in the canonical text: stable, by the bytes
// of their names (unsigned, a proper prefix first, as string_view compares).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex::fingerprint {

// A list's names seen in place: the string_view at the same offset inside
// each of `count` entries laid out `stride` bytes apart. Sorting indices
// through this view spares a manifest of millions of entries a copy of its
// names.
class NameColumn {
 public:
  // REQUIRES: `entries` outlives the column.
  template <class Entry>
  static NameColumn of(const std::vector<Entry>& entries, std::string_view Entry::*name) {
    if (entries.empty()) return NameColumn(nullptr, sizeof(Entry), 0);
    const char* first = reinterpret_cast<const char*>(&(entries.front().*name));
    return NameColumn(first, sizeof(Entry), entries.size());
  }

  NameColumn(const char* first_name, std::size_t stride, std::size_t count)
      : first_(first_name), stride_(stride), count_(count) {}

  std::size_t size() const { return count_; }
  std::string_view operator[](std::size_t i) const {
    return *reinterpret_cast<const std::string_view*>(first_ + i * stride_);
  }
  // The address of entry i's name, for prefetching.
  const void* address(std::size_t i) const { return first_ + i * stride_; }

 private:
  const char* first_;
  std::size_t stride_;
  std::size_t count_;
};

// One entry on its way through the sort: eight bytes of its name from the
// current depth as a big-endian number (zero-padded), and, in one word, how
// many name bytes there are from that depth (capped at kNameContinues: more
// than the eight) above the entry's index in the list. (key, tail) orders
// names that agree before the depth exactly as their bytes do; only records
// with equal keys that both continue are still tied.
struct NameRecord {
  std::uint64_t key;
  std::uint64_t tail_and_index;

  static constexpr int kTailShift = 60;
  static constexpr std::uint64_t kIndexMask = (std::uint64_t{1} << kTailShift) - 1;
  static constexpr std::uint64_t kNameContinues = 9;

  std::uint64_t tail() const { return tail_and_index >> kTailShift; }
  std::size_t index() const { return static_cast<std::size_t>(tail_and_index & kIndexMask); }
};

// Up to this many entries are sorted by insertion; longer lists by a stable
// radix sort on NameRecords.
constexpr std::size_t kInsertionSortLimit = 20;
// A run of names tied on every byte so far is sorted by insertion up to
// this length; a longer one gets radix passes of its own.
constexpr std::size_t kTieInsertionLimit = 24;

// Entries visited in name order are scattered over the manifest: each
// entry is fetched twice this many places ahead, its name this many, so
// that both are in cache when their turn comes (about the misses in flight
// a core sustains; 16 measured no better).
constexpr std::size_t kNamePrefetchAhead = 8;

// The entries' indices in canonical order, stable (equal names keep their
// order in the list). The working space is kept across calls; the order
// stays valid until the next call.
class NameOrder {
 public:
  NameOrder() = default;
  // The order may point into the object itself.
  NameOrder(const NameOrder&) = delete;
  NameOrder& operator=(const NameOrder&) = delete;

  void sort(const NameColumn& names);

  std::size_t size() const { return size_; }
  std::size_t operator[](std::size_t i) const { return sorted_[i].index(); }

 private:
  NameRecord small_[kInsertionSortLimit];
  std::vector<NameRecord> records_;
  std::vector<NameRecord> scratch_;
  const NameRecord* sorted_ = small_;
  std::size_t size_ = 0;
};

}  // namespace orvex::fingerprint
