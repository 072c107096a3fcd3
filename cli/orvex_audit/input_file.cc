#include "orvex_audit/input_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "common/fill_message.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

InputFile::InputFile(const std::string& name, std::string_view standard_input_name) {
  if (name == kStandardInputArgument) {
    fd_ = STDIN_FILENO;
    display_name_ = standard_input_name;
    return;
  }
  display_name_ = name;
  const ReadOnlyFile& file = file_.emplace(name);
  if (file.fd() < 0) {
    error_ = fill_message(seal_messages::kFileError, {name, file.error()});
    return;
  }
  // Read, a directory fails only later, with a bare "Is a directory".
  struct stat status {};
  if (::fstat(file.fd(), &status) == 0 && S_ISDIR(status.st_mode)) {
    error_ = fill_message(seal_messages::kIsDirectory, {name});
    return;
  }
  fd_ = file.fd();
}

}  // namespace orvex::audit_tool
