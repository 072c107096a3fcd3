#include "orvex_audit/read_only_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace orvex::audit_tool {

ReadOnlyFile::ReadOnlyFile(const std::string& path) {
  do {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) open_error_ = errno;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace orvex::audit_tool
