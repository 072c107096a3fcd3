#include "orvex_audit/pubkey_command.h"

#include <string>

#include "audit/signing_key.h"
#include "common/hex.h"
#include "orvex_audit/command_line.h"
#include "orvex_audit/messages.h"

namespace orvex::audit_tool {

int run_pubkey(std::FILE* out, std::FILE* err) {
  const Result<audit::AuditKeyPair> key = audit::load_signing_key();
  if (!key.ok()) {
    std::string text(messages::kErrorPrefix);
    text.append(key.failure().message);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), err);
    return kExitTrouble;
  }
  std::string line = lowercase_hex(key.value().public_key());
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), out);
  if (std::fflush(out) != 0) return kExitTrouble;
  return kExitAllValid;
}

}  // namespace orvex::audit_tool
