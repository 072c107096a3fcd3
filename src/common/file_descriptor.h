// An open file descriptor owned by one scope: closed on every path.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace orvex {

// Owns an open descriptor and closes it on every path; close() closes it
// early to learn the outcome. close is not retried after EINTR: on Linux
// the descriptor is released either way.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }

  // 0, or the error number of a failed close: a network file system or a
  // full disk may report a lost write only here.
  int close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) == 0 || errno == EINTR) return 0;
    return errno;
  }

 private:
  int fd_;
};

}  // namespace orvex
