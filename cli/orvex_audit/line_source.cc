#include "orvex_audit/line_source.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace orvex::audit_tool {

namespace {

// Large enough that a read costs little per record, small enough to stay
// in cache.
constexpr std::size_t kBufferBytes = std::size_t{1} << 16;
// A straddling line's buffer up to this size is kept for the next one.
constexpr std::size_t kKeptLineBytes = std::size_t{1} << 20;

}  // namespace

void GrowingBytes::append(const char* bytes, std::size_t size) {
  if (size == 0) return;
  if (size > capacity_ - size_) {
    std::size_t capacity = capacity_ == 0 ? kBufferBytes : capacity_;
    while (capacity - size_ < size) {
      if (capacity > SIZE_MAX / 2) throw std::bad_alloc();
      capacity *= 2;
    }
    char* grown = static_cast<char*>(std::realloc(data_.get(), capacity));
    if (grown == nullptr) throw std::bad_alloc();
    static_cast<void>(data_.release());
    data_.reset(grown);
    capacity_ = capacity;
  }
  std::memcpy(data_.get() + size_, bytes, size);
  size_ += size;
}

void GrowingBytes::shrink_above(std::size_t keep) {
  if (capacity_ <= keep) return;
  data_.reset();
  size_ = 0;
  capacity_ = 0;
}

LineSource::LineSource(ByteSource& source, std::size_t max_line_bytes)
    : source_(source), max_line_bytes_(max_line_bytes), buffer_(kBufferBytes) {}

bool LineSource::refill() {
  const long got = source_.read(buffer_.data(), buffer_.size());
  if (got > 0) {
    begin_ = 0;
    end_ = static_cast<std::size_t>(got);
    return true;
  }
  if (got == 0) {
    at_end_ = true;
  } else {
    failed_ = true;
  }
  return false;
}

LineSource::Status LineSource::next(Line& line) {
  pending_.clear();
  pending_.shrink_above(kKeptLineBytes);
  bool straddles = false;
  std::uint64_t length = 0;  // of the line so far
  bool over_limit = false;   // then its bytes are counted, not kept
  for (;;) {
    if (begin_ < end_) {
      const char* start = buffer_.data() + begin_;
      const std::size_t available = end_ - begin_;
      const auto* feed = static_cast<const char*>(std::memchr(start, '\n', available));
      const std::size_t part = feed != nullptr ? static_cast<std::size_t>(feed - start) : available;
      begin_ += feed != nullptr ? part + 1 : part;
      length += part;
      if (!over_limit && length > max_line_bytes_) {
        over_limit = true;
        pending_.clear();
        pending_.shrink_above(0);
      }
      if (feed != nullptr) {
        if (over_limit) {
          line = Line{std::string_view(), true, length};
        } else if (!straddles) {
          // The common case: the whole line lies in the buffer, no copy.
          line = Line{std::string_view(start, part), true, 0};
        } else {
          pending_.append(start, part);
          line = Line{pending_.view(), true, 0};
        }
        return Status::kLine;
      }
      if (!over_limit) pending_.append(start, part);
      straddles = true;
    }
    if (at_end_ || failed_ || !refill()) {
      if (failed_) return Status::kReadError;
      if (!straddles) return Status::kEnd;
      line = over_limit ? Line{std::string_view(), false, length} : Line{pending_.view(), false, 0};
      return Status::kLine;
    }
  }
}

std::string_view listing_entry(std::string_view line) {
  constexpr std::string_view kBlanks = " \t\r";
  const std::size_t first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos || line[first] == '#') return {};
  return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace orvex::audit_tool
