// The lines of one input, read through a fixed buffer. A line that lies
// within one read is handed out in place; a longer one is gathered in a
// buffer of its own, up to the source's line limit. A line over the limit
// is passed over to its line feed and handed out as its length alone, so
// that no input, however long its lines, holds more memory than the read
// buffer plus the limit; a large line's buffer is given back before the
// next line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "orvex_audit/byte_source.h"

namespace orvex::audit_tool {

// verify's line limit unless --max-line-bytes says otherwise. The guard
// writes a record as long as its `params`; genuine records are a few hundred
// bytes to a few KiB, and even one carrying a whole document of tens of MiB
// stays below this. A line past it is no record the guard wrote in
// earnest; refusing it keeps memory within about twice this size.
inline constexpr std::size_t kDefaultMaxLineBytes = std::size_t{128} << 20;

struct Line {
  // Without its line feed. Valid until the next call of LineSource::next.
  // Empty for a line over the limit.
  std::string_view text;
  // False only for a last line that the input ends before finishing.
  bool has_line_feed = true;
  // For a line longer than the limit, its length without the line feed;
  // its bytes were read and passed over. 0 for every other line.
  std::uint64_t length_over_limit = 0;
};

// A byte buffer that grows by realloc: for a large line the allocator can
// move pages instead of copying them, so growing never needs the old and
// the new size at once.
class GrowingBytes {
 public:
  // Throws std::bad_alloc when memory runs out, like any other allocation.
  void append(const char* bytes, std::size_t size);
  void clear() { size_ = 0; }
  // Frees the memory when it is more than `keep` bytes.
  void shrink_above(std::size_t keep);
  std::string_view view() const { return std::string_view(data_.get(), size_); }

 private:
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, Free> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// The entry on a line of a listing file (pinned keys, seal anchors): the
// line without the blanks around it, or empty for a blank line or a comment
// (a line whose first non-blank byte is #).
std::string_view listing_entry(std::string_view line);

class LineSource {
 public:
  // Lines of up to `max_line_bytes` bytes (without the line feed) are
  // handed out whole. REQUIRES: `source` outlives this object.
  LineSource(ByteSource& source, std::size_t max_line_bytes);

  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

  enum class Status { kLine, kEnd, kReadError };

  // The next line. After kReadError, read_error() is the errno value.
  Status next(Line& line);
  int read_error() const { return source_.read_error(); }
  std::size_t max_line_bytes() const { return max_line_bytes_; }

 private:
  // Reads more bytes into the buffer; false at the end of the input or on error.
  bool refill();

  ByteSource& source_;
  const std::size_t max_line_bytes_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // unread bytes are [begin_, end_)
  std::size_t end_ = 0;
  bool at_end_ = false;
  bool failed_ = false;
  GrowingBytes pending_;  // a line that straddles reads
};

}  // namespace orvex::audit_tool
