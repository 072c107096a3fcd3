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

LineSource::LineSource(ByteSource& source) : source_(source), buffer_(kBufferBytes) {}

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
  for (;;) {
    if (begin_ < end_) {
      const char* start = buffer_.data() + begin_;
      const std::size_t available = end_ - begin_;
      const auto* feed = static_cast<const char*>(std::memchr(start, '\n', available));
      if (feed != nullptr) {
        const auto size = static_cast<std::size_t>(feed - start);
        begin_ += size + 1;
        if (!straddles) {
          // The common case: the whole line lies in the buffer, no copy.
          line = Line{std::string_view(start, size), true};
          return Status::kLine;
        }
        pending_.append(start, size);
        line = Line{pending_.view(), true};
        return Status::kLine;
      }
      pending_.append(start, available);
      straddles = true;
      begin_ = end_;
    }
    if (at_end_ || failed_ || !refill()) {
      if (failed_) return Status::kReadError;
      if (!straddles) return Status::kEnd;
      line = Line{pending_.view(), false};
      return Status::kLine;
    }
  }
}

}  // namespace orvex::audit_tool
