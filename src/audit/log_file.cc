#include "audit/log_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace orvex::audit {

namespace {

// Owns an open descriptor and closes it on every path. close is not retried
// after EINTR: on Linux the descriptor is released either way.
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

 private:
  int fd_;
};

constexpr mode_t kCreateMode = 0644;

int open_for_append(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kCreateMode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Stops at the first error other than EINTR; what reached the file stays.
void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (written == 0) return;  // no progress is possible; do not spin
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void append_line(const char* path, std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line);
  text.push_back('\n');

  const FileDescriptor file(open_for_append(path));
  if (!file.is_open()) return;
  write_all(file.get(), text);
}

}  // namespace orvex::audit
