#include "orvex_audit/input_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "orvex_audit/messages.h"
#include "orvex_audit/seal_messages.h"

namespace orvex::audit_tool {

InputFile::InputFile(const std::string& name, std::string_view standard_input_name) {
  if (name == kStandardInputArgument) {
    fd_ = STDIN_FILENO;
    display_name_ = standard_input_name;
    return;
  }
  display_name_ = name;
  int fd;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error_ = messages::fill(seal_messages::kFileError, {name, std::strerror(errno)});
    return;
  }
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    ::close(fd);
    error_ = messages::fill(seal_messages::kIsDirectory, {name});
    return;
  }
  fd_ = fd;
  owned_ = true;
}

InputFile::~InputFile() {
  if (owned_) ::close(fd_);
}

}  // namespace orvex::audit_tool
