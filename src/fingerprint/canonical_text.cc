#include "fingerprint/canonical_text.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fingerprint/fixed_decimal.h"

namespace orvex::fingerprint {
namespace {

// Pieces handed to the sink are about this large.
constexpr std::size_t kChunkBytes = 64 * 1024;
// Bytes of one entry's text in the common case: a name of some twenty
// bytes, ':', a short number, ';'.
constexpr std::size_t kEntryEstimate = 40;
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

// The canonical text is written into one buffer that goes to the sink
// whenever an entry might not fit. An entry needs its name, ':', at most
// kMaxFixedDecimal6 bytes of number and ';'; a name too long for the
// buffer goes to the sink on its own.
class ChunkWriter {
 public:
  ChunkWriter(std::size_t capacity, const std::function<void(std::string_view)>& sink)
      : capacity_(capacity + kEntryRoom), buffer_(new char[capacity_]), sink_(sink) {}

  void entry(std::string_view name, double number) {
    char* at = room(name.size() + kEntryRoom);
    if (at == nullptr) {  // a name longer than the whole buffer (which room() emptied)
      sink_(name);
      at = buffer_.get();
    } else {
      std::memcpy(at, name.data(), name.size());
      at += name.size();
    }
    *at++ = ':';
    at = write_fixed_decimal6(number, at);
    *at++ = ';';
    used_ = static_cast<std::size_t>(at - buffer_.get());
  }

  void flush() {
    if (used_ > 0) sink_(std::string_view(buffer_.get(), used_));
    used_ = 0;
  }

 private:
  static constexpr std::size_t kEntryRoom = 1 + kMaxFixedDecimal6 + 1;

  // `bytes` of room at the end of the buffer, flushing first if needed;
  // nullptr if the buffer is too small even when empty.
  char* room(std::size_t bytes) {
    if (capacity_ - used_ < bytes) flush();
    return capacity_ < bytes ? nullptr : buffer_.get() + used_;
  }

  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  const std::function<void(std::string_view)>& sink_;
};

template <class Entry, class Name, class Number>
void emit_entries(std::vector<Entry>& entries, Name name, Number number, ChunkWriter& out) {
  sort_by_name(entries, name);
  for (const Entry& e : entries) out.entry(e.*name, e.*number);
}

}  // namespace

void emit_canonical_text(documents::ProjectManifest& manifest, const std::function<void(std::string_view)>& sink) {
  const std::size_t entries = manifest.mod_surfaces.size() + manifest.weight_tables.size();
  ChunkWriter out(std::min(kChunkBytes, entries * kEntryEstimate), sink);
  emit_entries(manifest.mod_surfaces, &documents::ModSurface::name, &documents::ModSurface::weight, out);
  emit_entries(manifest.weight_tables, &documents::WeightTable::key, &documents::WeightTable::value, out);
  out.flush();
}

std::string canonical_text(documents::ProjectManifest manifest) {
  std::string text;
  emit_canonical_text(manifest, [&](std::string_view piece) { text += piece; });
  return text;
}

}  // namespace orvex::fingerprint
