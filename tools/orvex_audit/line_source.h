// The lines of one input, read through a fixed buffer so that memory stays
// flat whatever the size of the input: one buffer, plus one line when a line
// straddles two reads, never more than kMaxLineBytes of it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::audit_tool {

// Longer lines are reported, not held; a record this long is no record the
// guard has written for any plausible action.
inline constexpr std::size_t kMaxLineBytes = std::size_t{64} << 20;

struct Line {
  // Without its line feed. Valid until the next call of LineSource::next.
  // When too_long, only the first kMaxLineBytes bytes.
  std::string_view text;
  // False only for a last line that the input ends before finishing.
  bool has_line_feed = true;
  bool too_long = false;
};

class LineSource {
 public:
  // REQUIRES: `fd` is open for reading and outlives this object, which does
  // not close it.
  explicit LineSource(int fd);

  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

  enum class Status { kLine, kEnd, kReadError };

  // The next line. After kReadError, read_error() is the errno value.
  Status next(Line& line);
  int read_error() const { return read_error_; }

 private:
  // Reads more bytes into the buffer; false at the end of the input or on error.
  bool refill();
  // Adds to the line that straddles reads, keeping at most kMaxLineBytes.
  void keep(const char* bytes, std::size_t size);

  int fd_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // unread bytes are [begin_, end_)
  std::size_t end_ = 0;
  bool at_end_ = false;
  int read_error_ = 0;
  std::string pending_;
  bool pending_too_long_ = false;
};

}  // namespace orvex::audit_tool
