#include "orvex_audit/key_loading.h"

#include <string>

#include "orvex_audit/messages.h"

namespace orvex::audit_tool {

std::optional<audit::AuditKeyPair> load_key_or_report(std::FILE* err) {
  Result<audit::AuditKeyPair> key = audit::load_signing_key();
  if (key.ok()) return std::move(key).value();
  std::string text(messages::kErrorPrefix);
  text.append(key.failure().message);
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), err);
  return std::nullopt;
}

}  // namespace orvex::audit_tool
