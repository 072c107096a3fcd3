#include "fingerprint/canonical_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fingerprint/fixed_decimal.h"
#include "fingerprint/name_order.h"

namespace orvex::fingerprint {
namespace {

// Pieces handed to the sink are about this large.
constexpr std::size_t kChunkBytes = 64 * 1024;
// Bytes of one entry's text in the common case: a name of some twenty
// bytes, ':', a short number, ';'.
constexpr std::size_t kEntryEstimate = 40;

// The canonical text is written into one buffer that goes to the sink
// whenever an entry might not fit. An entry needs its name, ':', at most
// kMaxFixedDecimal6 bytes of number and ';'; a name too long for the
// buffer goes to the sink on its own.
class ChunkWriter {
 public:
  // A small manifest's text is written into `local` (kLocalBytes on the
  // caller's stack); a larger one gets a buffer of its own.
  ChunkWriter(std::size_t capacity, char* local, const std::function<void(std::string_view)>& sink)
      : capacity_(capacity + kEntryRoom),
        owned_(capacity_ > kLocalBytes ? new char[capacity_] : nullptr),
        buffer_(owned_ ? owned_.get() : local),
        sink_(sink) {}

  static constexpr std::size_t kLocalBytes = 2048;

  void entry(std::string_view name, double number) {
    char* at = room(name.size() + kEntryRoom);
    if (at == nullptr) {  // a name longer than the whole buffer (which room() emptied)
      sink_(name);
      at = buffer_;
    } else {
      std::memcpy(at, name.data(), name.size());
      at += name.size();
    }
    *at++ = ':';
    at = write_fixed_decimal6(number, at);
    *at++ = ';';
    used_ = static_cast<std::size_t>(at - buffer_);
  }

  void flush() {
    if (used_ > 0) sink_(std::string_view(buffer_, used_));
    used_ = 0;
  }

 private:
  static constexpr std::size_t kEntryRoom = 1 + kMaxFixedDecimal6 + 1;

  // `bytes` of room at the end of the buffer, flushing first if needed;
  // nullptr if the buffer is too small even when empty.
  char* room(std::size_t bytes) {
    if (capacity_ - used_ < bytes) flush();
    return capacity_ < bytes ? nullptr : buffer_ + used_;
  }

  std::size_t capacity_;
  std::unique_ptr<char[]> owned_;
  char* buffer_;
  std::size_t used_ = 0;
  const std::function<void(std::string_view)>& sink_;
};

template <class Entry, class Number>
void emit_entries(const std::vector<Entry>& entries, std::string_view Entry::*name, Number number, NameOrder& order,
                  ChunkWriter& out) {
  order.sort(NameColumn::of(entries, name));
  const std::size_t count = entries.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 2 * kNamePrefetchAhead < count) __builtin_prefetch(&entries[order[i + 2 * kNamePrefetchAhead]]);
    if (i + kNamePrefetchAhead < count) __builtin_prefetch((entries[order[i + kNamePrefetchAhead]].*name).data());
    const Entry& e = entries[order[i]];
    out.entry(e.*name, e.*number);
  }
}

}  // namespace

void emit_canonical_text(const documents::ProjectManifest& manifest,
                         const std::function<void(std::string_view)>& sink) {
  const std::size_t entries = manifest.mod_surfaces.size() + manifest.weight_tables.size();
  char local[ChunkWriter::kLocalBytes];
  ChunkWriter out(std::min(kChunkBytes, entries * kEntryEstimate), local, sink);
  NameOrder order;  // one working space for both lists
  emit_entries(manifest.mod_surfaces, &documents::ModSurface::name, &documents::ModSurface::weight, order, out);
  emit_entries(manifest.weight_tables, &documents::WeightTable::key, &documents::WeightTable::value, order, out);
  out.flush();
}

std::string canonical_text(const documents::ProjectManifest& manifest) {
  std::string text;
  emit_canonical_text(manifest, [&](std::string_view piece) { text += piece; });
  return text;
}

}  // namespace orvex::fingerprint
