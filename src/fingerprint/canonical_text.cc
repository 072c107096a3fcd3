#include "fingerprint/canonical_text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fingerprint/fixed_decimal.h"

namespace orvex::fingerprint {
namespace {

// Pieces handed to the sink are about this large.
constexpr std::size_t kChunkBytes = 64 * 1024;
// Bytes of one entry's text besides its name: ':' + number + ';' in the
// common case.
constexpr std::size_t kEntryOverhead = 24;
// Up to this many entries are sorted by insertion, in place.
constexpr std::size_t kInsertionSortLimit = 20;

// An entry to sort: its name, its number, and the name's first eight bytes
// as a big-endian integer (zero-padded), which settles most comparisons
// without reading the name itself, wherever in a large text it lies.
struct SortEntry {
  std::uint64_t prefix;
  std::string_view name;
  double number;
};

std::uint64_t name_prefix(std::string_view name) {
  std::uint64_t prefix = 0;
  const std::size_t n = std::min<std::size_t>(name.size(), 8);
  for (std::size_t i = 0; i < 8; ++i) {
    prefix = (prefix << 8) | (i < n ? static_cast<unsigned char>(name[i]) : 0u);
  }
  return prefix;
}

// Byte order of the names (unsigned bytes, a proper prefix first). Equal
// prefixes may still hide a difference beyond them, or in the padding.
bool name_before(const SortEntry& a, const SortEntry& b) {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  return a.name < b.name;
}

template <class Entry, class Name, class Number>
std::vector<SortEntry> sorted_entries(const std::vector<Entry>& entries, Name name, Number number) {
  std::vector<SortEntry> sorted;
  sorted.reserve(entries.size());
  for (const Entry& e : entries) sorted.push_back(SortEntry{name_prefix(e.*name), e.*name, e.*number});
  // Both sorts are stable: entries with equal names keep document order.
  if (sorted.size() <= kInsertionSortLimit) {
    for (std::size_t i = 1; i < sorted.size(); ++i) {
      const SortEntry moving = sorted[i];
      std::size_t j = i;
      for (; j > 0 && name_before(moving, sorted[j - 1]); --j) sorted[j] = sorted[j - 1];
      sorted[j] = moving;
    }
  } else {
    std::stable_sort(sorted.begin(), sorted.end(), name_before);
  }
  return sorted;
}

void emit_entries(const std::vector<SortEntry>& entries, std::string& chunk,
                  const std::function<void(std::string_view)>& sink) {
  for (const SortEntry& e : entries) {
    chunk += e.name;
    chunk += ':';
    append_fixed_decimal6(e.number, chunk);
    chunk += ';';
    if (chunk.size() >= kChunkBytes) {
      sink(chunk);
      chunk.clear();
    }
  }
}

}  // namespace

void emit_canonical_text(const documents::ProjectManifest& manifest,
                         const std::function<void(std::string_view)>& sink) {
  std::string chunk;
  const std::size_t entries = manifest.mod_surfaces.size() + manifest.weight_tables.size();
  chunk.reserve(std::min(kChunkBytes, entries * kEntryOverhead) + kEntryOverhead);
  // One list at a time, so only one sorted copy exists at once.
  emit_entries(sorted_entries(manifest.mod_surfaces, &documents::ModSurface::name, &documents::ModSurface::weight),
               chunk, sink);
  emit_entries(sorted_entries(manifest.weight_tables, &documents::WeightTable::key, &documents::WeightTable::value),
               chunk, sink);
  if (!chunk.empty()) sink(chunk);
}

std::string canonical_text(const documents::ProjectManifest& manifest) {
  std::string text;
  emit_canonical_text(manifest, [&](std::string_view piece) { text += piece; });
  return text;
}

}  // namespace orvex::fingerprint
