// The lines of a seal file, each judged as a seal. Memory stays at one
// buffer and one line of at most kMaxSealLineBytes, whatever the file holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "orvex_audit/byte_source.h"
#include "orvex_audit/seal_line.h"

namespace orvex::audit_tool {

class SealFileLines {
 public:
  // REQUIRES: `fd` is open for reading at the start of the seal file and
  // outlives this object, which does not close it.
  explicit SealFileLines(int fd);

  SealFileLines(const SealFileLines&) = delete;
  SealFileLines& operator=(const SealFileLines&) = delete;

  enum class Status { kLine, kEnd, kReadError };

  // The next line, read as a seal into `seal` (or the reason it is none).
  // After kReadError, read_error() is the errno value.
  Status next(Result<Seal>& seal);
  // 1-based number of the line last handed out.
  std::uint64_t line_number() const { return number_; }
  int read_error() const { return read_error_; }

 private:
  bool refill();

  DescriptorSource source_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  int read_error_ = 0;
  std::uint64_t number_ = 0;
  std::string line_;
};

}  // namespace orvex::audit_tool
