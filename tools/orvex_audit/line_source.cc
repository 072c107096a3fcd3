#include "orvex_audit/line_source.h"

#include <errno.h>
#include <unistd.h>

#include <cstring>

namespace orvex::audit_tool {

namespace {

// Large enough that a read costs little per record, small enough to stay
// in cache.
constexpr std::size_t kBufferBytes = std::size_t{1} << 16;
static_assert(kBufferBytes <= kMaxLineBytes, "a line held in the buffer is never too long");

}  // namespace

LineSource::LineSource(int fd) : fd_(fd), buffer_(kBufferBytes) {}

bool LineSource::refill() {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got > 0) {
      begin_ = 0;
      end_ = static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) {
      at_end_ = true;
      return false;
    }
    if (errno != EINTR) {
      read_error_ = errno;
      return false;
    }
  }
}

void LineSource::keep(const char* bytes, std::size_t size) {
  const std::size_t room = kMaxLineBytes - pending_.size();
  if (size > room) {
    pending_too_long_ = true;
    size = room;
  }
  pending_.append(bytes, size);
}

LineSource::Status LineSource::next(Line& line) {
  pending_.clear();
  pending_too_long_ = false;
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
          // The buffer is smaller than kMaxLineBytes, so it is not too long.
          line = Line{std::string_view(start, size), true, false};
          return Status::kLine;
        }
        keep(start, size);
        line = Line{pending_, true, pending_too_long_};
        return Status::kLine;
      }
      keep(start, available);
      straddles = true;
      begin_ = end_;
    }
    if (at_end_ || !refill()) {
      if (read_error_ != 0) return Status::kReadError;
      if (!straddles) return Status::kEnd;
      line = Line{pending_, false, pending_too_long_};
      return Status::kLine;
    }
  }
}

}  // namespace orvex::audit_tool
