#include "orvex_audit/pubkey_command.h"

#include <optional>
#include <string>

#include "common/hex.h"
#include "orvex_audit/command_line.h"
#include "orvex_audit/key_loading.h"

namespace orvex::audit_tool {

int run_pubkey(std::FILE* out, std::FILE* err) {
  const std::optional<audit::AuditKeyPair> key = load_key_or_report(err);
  if (!key.has_value()) return kExitTrouble;
  std::string line = lowercase_hex(key->public_key());
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), out);
  if (std::fflush(out) != 0) return kExitTrouble;
  return kExitAllValid;
}

}  // namespace orvex::audit_tool
