#include "orvex_audit/byte_source.h"

#include <errno.h>
#include <unistd.h>

namespace orvex::audit_tool {

long DescriptorSource::read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, capacity);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) {
      read_error_ = errno;
      return -1;
    }
  }
}

}  // namespace orvex::audit_tool
