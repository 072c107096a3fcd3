#include "audit/lost_record.h"

#include <errno.h>
#include <unistd.h>

#include <string>

#include "audit/audit_errors.h"
#include "common/fill_message.h"

namespace orvex::audit {

void report_lost_record(std::string_view log_name, std::string_view reason) {
  const std::string line = fill_message(messages::kRecordLost, {log_name, reason});
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, rest.data(), rest.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace orvex::audit
