#include "orvex_audit/log_summary.h"

#include <cstring>

#include "audit/record_layout.h"
#include "orvex_audit/seal_line.h"

namespace orvex::audit_tool {

namespace {

// {"timestamp":" then the text and its closing quote: enough to read the
// timestamp of any record.
constexpr std::size_t kHeadBytes = 2 + 11 + 3 + kMaxTimestampBytes + 1 + 8;

}  // namespace

std::optional<std::string> record_timestamp(std::string_view line_head) {
  std::string opening = "{\"";
  opening.append(audit::record_layout::kNames[audit::record_layout::kTimestamp]);
  opening.append("\":\"");
  if (line_head.substr(0, opening.size()) != opening) return std::nullopt;
  const std::string_view rest = line_head.substr(opening.size());
  const std::size_t quote = rest.find('"');
  if (quote == std::string_view::npos || !is_timestamp_text(rest.substr(0, quote))) return std::nullopt;
  return std::string(rest.substr(0, quote));
}

void LogSummary::finish_line() {
  std::optional<std::string> timestamp = record_timestamp(head_);
  head_.clear();
  if (!timestamp.has_value()) return;
  if (!first_.has_value()) first_ = *timestamp;
  last_ = std::move(timestamp);
}

void LogSummary::add(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto* feed = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
    const std::size_t size = feed == nullptr ? bytes.size() : static_cast<std::size_t>(feed - bytes.data()) + 1;
    const std::string_view part = bytes.substr(0, size);
    if (head_.size() < kHeadBytes) head_.append(part.substr(0, kHeadBytes - head_.size()));
    running_.update(part);
    if (feed != nullptr) {
      whole_lines_ = running_;
      whole_bytes_ += size + pending_bytes_;
      pending_bytes_ = 0;
      ++lines_;
      finish_line();
    } else {
      pending_bytes_ += size;
    }
    bytes.remove_prefix(size);
  }
}

fingerprint::Sha256Digest LogSummary::digest() { return whole_lines_.finish(); }

}  // namespace orvex::audit_tool
