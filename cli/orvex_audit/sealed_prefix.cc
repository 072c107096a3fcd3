#include "orvex_audit/sealed_prefix.h"

#include <algorithm>

#include "common/fill_message.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace sm = seal_messages;

}  // namespace

SealedPrefix::SealedPrefix(ByteSource& inner, const SealedFile* file) : inner_(inner) {
  if (file != nullptr) checkpoints_ = file->checkpoints;
  std::stable_sort(checkpoints_.begin(), checkpoints_.end(),
                   [](const Checkpoint& a, const Checkpoint& b) { return a.bytes < b.bytes; });
  while (next_ < checkpoints_.size() && checkpoints_[next_].bytes == 0) reach_checkpoint();
}

long SealedPrefix::read(char* buffer, std::size_t capacity) {
  const long got = inner_.read(buffer, capacity);
  if (got > 0) take(buffer, static_cast<std::size_t>(got));
  return got;
}

void SealedPrefix::reach_checkpoint() {
  const Checkpoint& checkpoint = checkpoints_[next_];
  if (!failed_.has_value()) {
    fingerprint::Sha256 copy = hash_;
    const bool digest_matches = copy.finish() == checkpoint.sha256;
    if (!digest_matches || lines_ != checkpoint.lines) {
      failed_ = next_;
      failed_by_digest_ = !digest_matches;
      failed_lines_ = lines_;
    }
  }
  ++next_;
}

void SealedPrefix::take(const char* bytes, std::size_t size) {
  while (size > 0) {
    if (next_ == checkpoints_.size()) {
      after_lines_ += static_cast<std::uint64_t>(std::count(bytes, bytes + size, '\n'));
      ends_with_feed_ = bytes[size - 1] == '\n';
      offset_ += size;
      return;
    }
    const std::uint64_t room = checkpoints_[next_].bytes - offset_;
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(room, size));
    if (!failed_.has_value()) hash_.update(std::string_view(bytes, part));
    lines_ += static_cast<std::uint64_t>(std::count(bytes, bytes + part, '\n'));
    offset_ += part;
    bytes += part;
    size -= part;
    while (next_ < checkpoints_.size() && checkpoints_[next_].bytes == offset_) reach_checkpoint();
  }
}

std::optional<std::string> SealedPrefix::mismatch(const std::string& seal_file_path) {
  if (failed_.has_value()) {
    const Checkpoint& checkpoint = checkpoints_[*failed_];
    const std::string line = std::to_string(checkpoint.seal_line);
    // Equal digests with unequal counts cannot come from the sealer, but a
    // seal is read, not trusted.
    if (!failed_by_digest_) {
      return fill_message(sm::kSealedLinesDiffer,
                  {std::to_string(failed_lines_), seal_file_path, line, std::to_string(checkpoint.lines)});
    }
    return fill_message(sm::kSealedPartChanged, {std::to_string(checkpoint.bytes), seal_file_path, line});
  }
  if (next_ < checkpoints_.size()) {
    const Checkpoint& checkpoint = checkpoints_[next_];
    return fill_message(sm::kSealedPartCut, {std::to_string(offset_), std::to_string(checkpoint.bytes), seal_file_path,
                                     std::to_string(checkpoint.seal_line)});
  }
  return std::nullopt;
}

std::uint64_t SealedPrefix::unsealed_lines() const {
  if (next_ < checkpoints_.size()) return 0;
  const bool torn_tail = !ends_with_feed_ && offset_ > (checkpoints_.empty() ? 0 : checkpoints_.back().bytes);
  return after_lines_ + (torn_tail ? 1 : 0);
}

}  // namespace orvex::audit_tool
