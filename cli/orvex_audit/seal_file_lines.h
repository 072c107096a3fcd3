// The lines of a seal file, each judged as a seal.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "orvex_audit/byte_source.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/seal_line.h"

namespace orvex::audit_tool {

class SealFileLines {
 public:
  // REQUIRES: `fd` is open for reading at the start of the seal file and
  // outlives this object, which does not close it.
  explicit SealFileLines(int fd) : bytes_(fd), lines_(bytes_, kMaxSealLineBytes) {}

  SealFileLines(const SealFileLines&) = delete;
  SealFileLines& operator=(const SealFileLines&) = delete;

  enum class Status { kLine, kEnd, kReadError };

  // The next line, read as a seal into `seal` (or the reason it is none).
  // After kReadError, read_error() is the errno value.
  Status next(Result<Seal>& seal);
  // 1-based number of the line last handed out.
  std::uint64_t line_number() const { return number_; }
  int read_error() const { return lines_.read_error(); }

 private:
  DescriptorSource bytes_;
  LineSource lines_;
  std::uint64_t number_ = 0;
};

}  // namespace orvex::audit_tool
