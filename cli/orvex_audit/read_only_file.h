// A file opened for reading by name and closed on every path.
#pragma once

#include <string>

namespace orvex::audit_tool {

class ReadOnlyFile {
 public:
  // Opens `path`; on failure fd() is negative and open_error() the errno value.
  explicit ReadOnlyFile(const std::string& path);
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile();

  int fd() const { return fd_; }
  int open_error() const { return open_error_; }

 private:
  int fd_ = -1;
  int open_error_ = 0;
};

}  // namespace orvex::audit_tool
