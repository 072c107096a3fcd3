#include "fingerprint/canonical_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
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

// The first eight bytes of a name as a big-endian number, zero-padded:
// when two of these differ, they order the names as their bytes do (a
// padding zero only meets a real byte where the shorter name is a prefix
// of the longer one, which sorts first anyway).
std::uint64_t name_prefix(std::string_view name) {
  std::uint64_t prefix = 0;
  if (name.size() >= sizeof prefix) {
    std::memcpy(&prefix, name.data(), sizeof prefix);
    if constexpr (std::endian::native == std::endian::little) prefix = __builtin_bswap64(prefix);
    return prefix;
  }
  for (std::size_t i = 0; i < sizeof prefix; ++i) {
    prefix = (prefix << 8) | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0u);
  }
  return prefix;
}

// Stable sort by the bytes of the name (unsigned, a proper prefix first,
// as string_view compares): entries with equal names keep document order.
// Small lists are sorted by insertion on their names' prefixes, which
// settle most comparisons without reading the names again.
template <class Entry, class Name>
void sort_by_name(std::vector<Entry>& entries, Name name) {
  if (entries.size() <= kInsertionSortLimit) {
    struct Keyed {
      std::uint64_t prefix;
      Entry entry;
    };
    std::array<Keyed, kInsertionSortLimit> keyed;
    const std::size_t count = entries.size();
    for (std::size_t i = 0; i < count; ++i) keyed[i] = {name_prefix(entries[i].*name), entries[i]};
    const auto before = [name](const Keyed& a, const Keyed& b) {
      return a.prefix != b.prefix ? a.prefix < b.prefix : a.entry.*name < b.entry.*name;
    };
    for (std::size_t i = 1; i < count; ++i) {
      const Keyed moving = keyed[i];
      std::size_t j = i;
      for (; j > 0 && before(moving, keyed[j - 1]); --j) keyed[j] = keyed[j - 1];
      keyed[j] = moving;
    }
    for (std::size_t i = 0; i < count; ++i) entries[i] = keyed[i].entry;
  } else {
    std::stable_sort(entries.begin(), entries.end(),
                     [name](const Entry& a, const Entry& b) { return a.*name < b.*name; });
  }
}

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

template <class Entry, class Name, class Number>
void emit_entries(std::vector<Entry>& entries, Name name, Number number, ChunkWriter& out) {
  sort_by_name(entries, name);
  for (const Entry& e : entries) out.entry(e.*name, e.*number);
}

}  // namespace

void emit_canonical_text(documents::ProjectManifest& manifest, const std::function<void(std::string_view)>& sink) {
  const std::size_t entries = manifest.mod_surfaces.size() + manifest.weight_tables.size();
  char local[ChunkWriter::kLocalBytes];
  ChunkWriter out(std::min(kChunkBytes, entries * kEntryEstimate), local, sink);
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
