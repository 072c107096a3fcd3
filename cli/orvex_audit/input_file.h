// An input named on the command line: a file opened for reading and closed
// on every path, or standard input ("-"), borrowed and left open. A
// directory is refused at once rather than read as an error later, and so
// is a FIFO, a socket or a device, which could block or never end; standard
// input is read whatever it is, since the caller chose it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "orvex_audit/read_only_file.h"

namespace orvex::audit_tool {

inline constexpr std::string_view kStandardInputArgument = "-";

class InputFile {
 public:
  // `display_name` is what reports call standard input.
  InputFile(const std::string& name, std::string_view standard_input_name);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // -1 when the input could not be opened; error() then says why.
  int fd() const { return fd_; }
  // The failure, whole: "NAME: reason".
  const std::string& error() const { return error_; }
  const std::string& display_name() const { return display_name_; }

 private:
  std::optional<ReadOnlyFile> file_;  // absent for standard input
  int fd_ = -1;
  std::string display_name_;
  std::string error_;
};

}  // namespace orvex::audit_tool
