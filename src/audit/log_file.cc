#include "audit/log_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace orvex::audit {

namespace {

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

constexpr mode_t kCreateMode = 0644;
constexpr char kLineFeed = '\n';
// O_NONBLOCK: opening a FIFO that nobody reads fails with ENXIO instead of
// waiting, with the caller's interpreter lock held, for a reader that may
// never come. O_NOCTTY: a terminal in the log's place never becomes the
// process's controlling terminal.
constexpr int kOpenFlags = O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
// What a write that makes no progress is reported as: it cannot finish the
// line, and retrying it would spin.
constexpr int kNoProgressError = EIO;

int open_retrying(const char* path, int access) {
  int fd;
  do {
    fd = ::open(path, access | kOpenFlags, kCreateMode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The open log, and the offset of its last byte when that byte can be read
// (a regular file, not empty, opened with read access); -1 otherwise.
struct OpenLog {
  int fd = -1;
  off_t last_byte_at = -1;
};

// Opens the log with read access where it may be had, to see its last byte;
// a file that may be written but not read is appended to unchecked. A FIFO
// is opened again write-only: open for reading as well, it would be its own
// reader, and a record that nobody reads would be swallowed without an
// error. Sets errno and returns fd -1 when the log cannot be opened.
OpenLog open_log(const char* path) {
  OpenLog log;
  log.fd = open_retrying(path, O_RDWR);
  if (log.fd < 0 && errno == EACCES) log.fd = open_retrying(path, O_WRONLY);
  if (log.fd < 0) return log;
  struct stat info {};
  if (::fstat(log.fd, &info) == 0) {
    if (S_ISFIFO(info.st_mode)) {
      ::close(log.fd);
      log.fd = open_retrying(path, O_WRONLY);
      if (log.fd < 0) return log;
    } else if (S_ISREG(info.st_mode) && info.st_size > 0) {
      log.last_byte_at = info.st_size - 1;
    }
  }
  // Writes wait again, as any plain append does: a FIFO's reader that is
  // slow is not absent. F_SETFL keeps O_APPEND and clears O_NONBLOCK.
  if (::fcntl(log.fd, F_SETFL, O_APPEND) != 0) {
    const int error = errno;
    ::close(log.fd);
    log.fd = -1;
    errno = error;
  }
  return log;
}

// True when the byte at `at` was read and is not a line feed: the file ends
// in a partial line. A read that fails leaves the line as it is.
bool ends_in_partial_line(int fd, off_t at) {
  if (at < 0) return false;
  char last = kLineFeed;
  ssize_t got;
  do {
    got = ::pread(fd, &last, 1, at);
  } while (got < 0 && errno == EINTR);
  return got == 1 && last != kLineFeed;
}

// 0, or the error number of the first write that failed; stops there, and
// what reached the file stays.
int write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return kNoProgressError;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

Failure system_failure(int error_number) {
  return Failure::ordinary(std::error_code(error_number, std::generic_category()).message());
}

}  // namespace

Result<Unit> append_line(const char* path, std::string_view line) {
  const OpenLog log = open_log(path);
  if (log.fd < 0) return system_failure(errno);
  FileDescriptor file(log.fd);

  std::string text;
  text.reserve(line.size() + 2);
  if (ends_in_partial_line(file.get(), log.last_byte_at)) text.push_back(kLineFeed);
  text.append(line);
  text.push_back(kLineFeed);

  const int write_error = write_all(file.get(), text);
  const int close_error = file.close();
  if (write_error != 0) return system_failure(write_error);
  if (close_error != 0) return system_failure(close_error);
  return Unit{};
}

}  // namespace orvex::audit
