// A file opened for reading by name and closed on every path. Only a file
// that can be read to its end without waiting is kept: a FIFO, a socket or
// a device is refused at once, since reading one could block for ever or
// never end. Directories are left to the caller, which words its refusal.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace orvex::audit_tool {

class ReadOnlyFile {
 public:
  // Opens `path`; on failure fd() is negative and error() the reason.
  explicit ReadOnlyFile(const std::string& path);
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile();

  int fd() const { return fd_; }
  // Why the file was not opened, without its name: the system's error text
  // or the refusal of a file that is not a regular file.
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

// Opens `path` with `flags` (and `mode`, for O_CREAT) without blocking on a
// FIFO and keeps the descriptor only for a regular file or a directory.
// Returns the descriptor, or -1 with `error` set to the reason (without the
// name). The caller owns and closes the descriptor.
int open_without_waiting(const std::string& path, int flags, mode_t mode, std::string& error);

// The refusal of the open descriptor `fd` when it is not a regular file or a
// directory; nullopt otherwise.
std::optional<std::string> special_file_refusal(int fd);

}  // namespace orvex::audit_tool
