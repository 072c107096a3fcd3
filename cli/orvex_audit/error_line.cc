#include "orvex_audit/error_line.h"

#include <string>

#include "common/fill_message.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

void report_error(std::FILE* err, std::string_view text) {
  const std::string line = fill_message(messages::kErrorLine, {text});
  std::fwrite(line.data(), 1, line.size(), err);
}

}  // namespace orvex::audit_tool
