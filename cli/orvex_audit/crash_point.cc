#include "orvex_audit/crash_point.h"

#include <unistd.h>

#include <cstdlib>

namespace orvex::audit_tool {

void crash_point(std::string_view step) {
  const char* wanted = std::getenv(kCrashVariable);
  if (wanted != nullptr && step == wanted) ::_exit(kCrashExit);
}

}  // namespace orvex::audit_tool
