#include "orvex_audit/read_only_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "common/fill_message.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

// The refusal for a file of mode `mode`, or nullopt when it may be read.
std::optional<std::string> refusal_for_mode(mode_t mode) {
  if (S_ISREG(mode) || S_ISDIR(mode)) return std::nullopt;
  std::string_view kind = m::kSpecialFileKind;
  if (S_ISFIFO(mode)) {
    kind = m::kFifoKind;
  } else if (S_ISSOCK(mode)) {
    kind = m::kSocketKind;
  } else if (S_ISCHR(mode)) {
    kind = m::kCharacterDeviceKind;
  } else if (S_ISBLK(mode)) {
    kind = m::kBlockDeviceKind;
  }
  return fill_message(m::kNotRegularFile, {kind});
}

}  // namespace

std::optional<std::string> special_file_refusal(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::string(std::strerror(errno));
  return refusal_for_mode(status.st_mode);
}

int open_without_waiting(const std::string& path, int flags, mode_t mode, std::string& error) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
  // writer. It changes nothing for a regular file, so it stays set.
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int open_error = errno;
    // A socket cannot be opened at all: say what it is rather than ENXIO.
    struct stat status {};
    if (open_error == ENXIO && ::stat(path.c_str(), &status) == 0) {
      if (std::optional<std::string> refusal = refusal_for_mode(status.st_mode)) {
        error = std::move(*refusal);
        return -1;
      }
    }
    error = std::strerror(open_error);
    return -1;
  }
  if (std::optional<std::string> refusal = special_file_refusal(fd)) {
    ::close(fd);
    error = std::move(*refusal);
    return -1;
  }
  return fd;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) { fd_ = open_without_waiting(path, O_RDONLY, 0, error_); }

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace orvex::audit_tool
