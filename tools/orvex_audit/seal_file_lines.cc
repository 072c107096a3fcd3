#include "orvex_audit/seal_file_lines.h"

#include <cstring>

#include "orvex_audit/messages.h"
#include "orvex_audit/seal_messages.h"

namespace orvex::audit_tool {

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 16;

}  // namespace

SealFileLines::SealFileLines(int fd) : source_(fd), buffer_(kBufferBytes) {}

bool SealFileLines::refill() {
  const long got = source_.read(buffer_.data(), buffer_.size());
  if (got > 0) {
    begin_ = 0;
    end_ = static_cast<std::size_t>(got);
    return true;
  }
  if (got == 0) {
    at_end_ = true;
  } else {
    read_error_ = source_.read_error();
  }
  return false;
}

SealFileLines::Status SealFileLines::next(Result<Seal>& seal) {
  line_.clear();
  bool too_long = false;
  bool started = false;
  for (;;) {
    if (begin_ == end_ && (at_end_ || !refill())) {
      if (read_error_ != 0) return Status::kReadError;
      if (!started) return Status::kEnd;
      ++number_;
      seal = Failure::ordinary(std::string(seal_messages::kTorn));
      return Status::kLine;
    }
    started = true;
    const char* start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* feed = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t size = feed == nullptr ? available : static_cast<std::size_t>(feed - start);
    // Past the limit the rest of the line is passed over, not kept.
    if (!too_long) {
      if (line_.size() + size > kMaxSealLineBytes) {
        too_long = true;
        line_.clear();
      } else {
        line_.append(start, size);
      }
    }
    begin_ += feed == nullptr ? size : size + 1;
    if (feed == nullptr) continue;
    ++number_;
    if (too_long) {
      seal = Failure::ordinary(messages::fill(seal_messages::kTooLong, {std::to_string(kMaxSealLineBytes)}));
    } else {
      seal = read_seal_line(line_);
    }
    return Status::kLine;
  }
}

}  // namespace orvex::audit_tool
