// What a seal says about a log's text, gathered in one pass over it: the
// prefix of whole lines (up to the last line feed), its length, its line
// count and SHA-256, and the timestamps of its first and last records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fingerprint/sha256.h"

namespace orvex::audit_tool {

class LogSummary {
 public:
  // The next bytes of the text, in order.
  void add(std::string_view bytes);

  // The whole-line prefix seen so far; a line still without its line feed
  // is not part of it.
  std::uint64_t bytes() const { return whole_bytes_; }
  std::uint64_t lines() const { return lines_; }
  // REQUIRES: called once, after the last add().
  fingerprint::Sha256Digest digest();
  const std::optional<std::string>& first() const { return first_; }
  const std::optional<std::string>& last() const { return last_; }

 private:
  // Reads the timestamp from the head of a finished line, if it is a record's.
  void finish_line();

  fingerprint::Sha256 running_;      // every byte added
  fingerprint::Sha256 whole_lines_;  // the state at the last line feed
  std::uint64_t whole_bytes_ = 0;
  std::uint64_t pending_bytes_ = 0;  // of the line not yet ended
  std::uint64_t lines_ = 0;
  std::string head_;  // the first bytes of the current line
  std::optional<std::string> first_;
  std::optional<std::string> last_;
};

// The timestamp of a line that begins the way a record does, with its
// "timestamp" member first; nullopt for any other line.
std::optional<std::string> record_timestamp(std::string_view line_head);

}  // namespace orvex::audit_tool
