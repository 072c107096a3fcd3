#include "fingerprint/canonical_text.h"

#include <algorithm>

#include "fingerprint/fixed_decimal.h"

namespace orvex::fingerprint {
namespace {

// Pieces handed to the sink are about this large.
constexpr std::size_t kChunkBytes = 64 * 1024;

template <class Entry, class Name, class Number>
void emit_entries(std::vector<Entry>& entries, Name name, Number number, std::string& chunk,
                  const std::function<void(std::string_view)>& sink) {
  // std::string compares as unsigned bytes, a proper prefix first.
  std::stable_sort(entries.begin(), entries.end(),
                   [name](const Entry& a, const Entry& b) { return a.*name < b.*name; });
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

void emit_canonical_text(documents::ProjectManifest& manifest,
                         const std::function<void(std::string_view)>& sink) {
  std::string chunk;
  chunk.reserve(kChunkBytes + 512);
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
