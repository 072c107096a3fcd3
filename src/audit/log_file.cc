#include "audit/log_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "common/file_descriptor.h"

namespace orvex::audit {

namespace {

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

// Opens for reading and appending. O_NOATIME: the look at the last byte is
// not a reading of the log, and must not make the file system record one
// (an atime update per record, with its journal write, would cost more than
// the look itself). Only the file's owner may ask for that; anyone else
// opens as before.
int open_read_write(const char* path) {
  const int fd = open_retrying(path, O_RDWR | O_NOATIME);
  if (fd >= 0 || errno != EPERM) return fd;
  return open_retrying(path, O_RDWR);
}

// The open log; for a regular file (one whose bytes stay where they were
// written), its size when it was opened.
struct OpenLog {
  int fd = -1;
  bool regular_file = false;
  off_t size = 0;
};

// Opens the log with read access where it may be had, to see the byte
// before a record; a file that may be written but not read is appended to
// unchecked. A FIFO is opened again write-only: open for reading as well,
// it would be its own reader, and a record that nobody reads would be
// swallowed without an error. Sets errno and returns fd -1 when the log
// cannot be opened.
OpenLog open_log(const char* path) {
  OpenLog log;
  log.fd = open_read_write(path);
  if (log.fd < 0 && errno == EACCES) log.fd = open_retrying(path, O_WRONLY);
  if (log.fd < 0) return log;
  // The usual log is a regular file with records in it, and its end is all
  // the check needs: lseek gives it for a fraction of fstat's cost (fstat
  // goes through a path lookup of an empty name on the kernels in use), and
  // a FIFO or a terminal refuses it. An empty end (a new log, or a device)
  // and a refusal are told apart by fstat.
  const off_t end = ::lseek(log.fd, 0, SEEK_END);
  if (end > 0) {
    log.regular_file = true;
    log.size = end;
    return log;
  }
  struct stat info {};
  if (::fstat(log.fd, &info) == 0) {
    if (S_ISFIFO(info.st_mode)) {
      ::close(log.fd);
      log.fd = open_retrying(path, O_WRONLY);
      if (log.fd < 0) return log;
    } else {
      log.regular_file = S_ISREG(info.st_mode);
      log.size = info.st_size;
    }
  }
  // Writes to a FIFO or a device wait again, as any plain append does: a
  // FIFO's reader that is slow is not absent. F_SETFL keeps O_APPEND and
  // clears O_NONBLOCK. A regular file's writes never wait on O_NONBLOCK, so
  // the common case is spared the call.
  if (!log.regular_file && ::fcntl(log.fd, F_SETFL, O_APPEND) != 0) {
    const int error = errno;
    ::close(log.fd);
    log.fd = -1;
    errno = error;
  }
  return log;
}

// True when the byte at `at` was read and is not a line feed. Nothing to
// read (at < 0), or a read that fails, counts as a line feed.
bool is_not_line_feed(int fd, off_t at) {
  if (at < 0) return false;
  char byte = kLineFeed;
  ssize_t got;
  do {
    got = ::pread(fd, &byte, 1, at);
  } while (got < 0 && errno == EINTR);
  return got == 1 && byte != kLineFeed;
}

// True when the `written` bytes just appended continued a partial line. Only
// this look is certain: every byte before a record's start was written by
// an append that had ended when the record's began. The end of the file
// seen before the write may be the middle of another process's record,
// still being copied, which a line feed put first would split.
bool continued_partial_line(int fd, std::size_t written) {
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  if (end < 0 || static_cast<std::size_t>(end) < written) return false;
  return is_not_line_feed(fd, end - static_cast<off_t>(written) - 1);
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

  // A line feed at the end before the write settles it in the usual case;
  // anything else is looked at again after the write, where it is certain.
  const bool maybe_partial = log.regular_file && is_not_line_feed(file.get(), log.size - 1);
  int write_error = write_all(file.get(), line);
  // The torn line and this copy now end together in a line feed; a second
  // copy on a line of its own keeps the record whole and verifiable.
  if (write_error == 0 && maybe_partial && continued_partial_line(file.get(), line.size())) {
    write_error = write_all(file.get(), line);
  }
  const int close_error = file.close();
  if (write_error != 0) return system_failure(write_error);
  if (close_error != 0) return system_failure(close_error);
  return Unit{};
}

}  // namespace orvex::audit
