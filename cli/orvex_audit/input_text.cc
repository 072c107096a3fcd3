#include "orvex_audit/input_text.h"


#include <algorithm>
#include <cstring>

#include "common/fill_message.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace sm = seal_messages;

constexpr std::size_t kRawBytes = std::size_t{1} << 16;
constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};
// zlib's window bits for the gzip wrapper only, with the largest window.
constexpr int kGzipWindowBits = 15 + 16;

}  // namespace

InputText::InputText(int fd) : raw_source_(fd), raw_(kRawBytes) {}

InputText::~InputText() {
  if (inflating_) inflateEnd(&stream_);
}

bool InputText::read_raw() {
  const long got = raw_source_.read(reinterpret_cast<char*>(raw_.data()) + raw_used_, raw_.size() - raw_used_);
  if (got > 0) {
    raw_used_ += static_cast<std::size_t>(got);
    return true;
  }
  if (got == 0) {
    raw_ended_ = true;
  } else {
    read_error_ = raw_source_.read_error();
  }
  return false;
}

InputText::Status InputText::fail_damaged(std::string text) {
  damage_ = std::move(text);
  final_ = Status::kDamaged;
  return final_;
}

InputText::Status InputText::sniff() {
  sniffed_ = true;
  // A pipe may hand over one byte at a time: read until two are here.
  while (raw_used_ < sizeof kGzipMagic && read_raw()) {
  }
  if (read_error_ != 0) return final_ = Status::kReadError;
  compressed_ = raw_used_ >= sizeof kGzipMagic && std::memcmp(raw_.data(), kGzipMagic, sizeof kGzipMagic) == 0;
  if (!compressed_) return Status::kData;
  if (inflateInit2(&stream_, kGzipWindowBits) != Z_OK) return fail_damaged(std::string(messages::kOutOfMemory));
  inflating_ = true;
  stream_.next_in = raw_.data();
  stream_.avail_in = static_cast<uInt>(raw_used_);
  return Status::kData;
}

long InputText::read(char* buffer, std::size_t capacity) {
  std::size_t got = 0;
  switch (read(std::span<char>(buffer, capacity), got)) {
    case Status::kData: return static_cast<long>(got);
    case Status::kEnd: return 0;
    case Status::kReadError:
    case Status::kDamaged: return -1;
  }
  return -1;
}

InputText::Status InputText::read(std::span<char> out, std::size_t& got) {
  got = 0;
  if (final_ != Status::kData) return final_;
  if (!sniffed_) {
    if (const Status status = sniff(); status != Status::kData) return status;
  }
  return compressed_ ? read_gzip(out, got) : read_plain(out, got);
}

InputText::Status InputText::read_plain(std::span<char> out, std::size_t& got) {
  // The bytes read to tell gzip from text go first.
  if (raw_taken_ < raw_used_) {
    got = std::min(out.size(), raw_used_ - raw_taken_);
    std::memcpy(out.data(), raw_.data() + raw_taken_, got);
    raw_taken_ += got;
    return Status::kData;
  }
  if (raw_ended_) return final_ = Status::kEnd;
  const long n = raw_source_.read(out.data(), out.size());
  if (n > 0) {
    got = static_cast<std::size_t>(n);
    return Status::kData;
  }
  if (n == 0) return final_ = Status::kEnd;
  read_error_ = raw_source_.read_error();
  return final_ = Status::kReadError;
}

InputText::Status InputText::read_gzip(std::span<char> out, std::size_t& got) {
  if (!deferred_damage_.empty()) return fail_damaged(std::move(deferred_damage_));
  stream_.next_out = reinterpret_cast<Bytef*>(out.data());
  stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size(), kRawBytes));
  const uInt wanted = stream_.avail_out;
  // Every turn reads input, or lets inflate consume or produce, or ends:
  // no turn can repeat without progress, so no input makes this spin.
  while (stream_.avail_out == wanted) {
    if (stream_.avail_in == 0) {
      raw_used_ = 0;
      if (!raw_ended_ && !read_raw() && read_error_ != 0) return final_ = Status::kReadError;
      if (raw_used_ == 0) {
        if (member_ended_) return final_ = Status::kEnd;
        return fail_damaged(fill_message(sm::kGzipTruncated, {std::to_string(text_bytes_)}));
      }
      stream_.next_in = raw_.data();
      stream_.avail_in = static_cast<uInt>(raw_used_);
    }
    // gzip files may hold several members back to back (cat a.gz b.gz).
    if (member_ended_) {
      if (inflateReset(&stream_) != Z_OK) return fail_damaged(std::string(messages::kInternalError));
      member_ended_ = false;
    }
    const uInt before_in = stream_.avail_in;
    const uInt before_out = stream_.avail_out;
    const int status = inflate(&stream_, Z_NO_FLUSH);
    text_bytes_ += before_out - stream_.avail_out;
    if (status == Z_STREAM_END) {
      member_ended_ = true;
      ++members_;
      continue;
    }
    if (status == Z_OK) continue;
    if (status == Z_BUF_ERROR && (before_in != stream_.avail_in || stream_.avail_in == 0)) continue;
    std::string damage;
    if (members_ > 0 && stream_.total_out == 0) {
      damage = sm::kGzipTrailingData;
    } else {
      const char* reason = stream_.msg != nullptr ? stream_.msg : zError(status);
      damage = fill_message(sm::kGzipCorrupt, {std::to_string(text_bytes_), reason});
    }
    // The text that came out before the damage is handed out first.
    if (stream_.avail_out == wanted) return fail_damaged(std::move(damage));
    deferred_damage_ = std::move(damage);
    break;
  }
  got = wanted - stream_.avail_out;
  return Status::kData;
}

}  // namespace orvex::audit_tool
