#include "fingerprint/canonical_text.h"

#include <algorithm>
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

// Stable sort by the bytes of the name (unsigned, a proper prefix first,
// as string_view compares): entries with equal names keep document order.
template <class Entry, class Name>
void sort_by_name(std::vector<Entry>& entries, Name name) {
  const auto before = [name](const Entry& a, const Entry& b) { return a.*name < b.*name; };
  if (entries.size() <= kInsertionSortLimit) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
      const Entry moving = entries[i];
      std::size_t j = i;
      for (; j > 0 && before(moving, entries[j - 1]); --j) entries[j] = entries[j - 1];
      entries[j] = moving;
    }
  } else {
    std::stable_sort(entries.begin(), entries.end(), before);
  }
}

template <class Entry, class Name, class Number>
void emit_entries(std::vector<Entry>& entries, Name name, Number number, std::string& chunk,
                  const std::function<void(std::string_view)>& sink) {
  sort_by_name(entries, name);
  for (const Entry& e : entries) {
    chunk += e.*name;
    chunk += ':';
    append_fixed_decimal6(e.*number, chunk);
    chunk += ';';
    if (chunk.size() >= kChunkBytes) {
      sink(chunk);
      chunk.clear();
    }
  }
}

}  // namespace

void emit_canonical_text(documents::ProjectManifest& manifest, const std::function<void(std::string_view)>& sink) {
  std::string chunk;
  const std::size_t entries = manifest.mod_surfaces.size() + manifest.weight_tables.size();
  chunk.reserve(std::min(kChunkBytes, entries * kEntryOverhead) + kEntryOverhead);
  emit_entries(manifest.mod_surfaces, &documents::ModSurface::name, &documents::ModSurface::weight, chunk, sink);
  emit_entries(manifest.weight_tables, &documents::WeightTable::key, &documents::WeightTable::value, chunk, sink);
  if (!chunk.empty()) sink(chunk);
}

std::string canonical_text(documents::ProjectManifest manifest) {
  std::string text;
  emit_canonical_text(manifest, [&](std::string_view piece) { text += piece; });
  return text;
}

}  // namespace orvex::fingerprint
