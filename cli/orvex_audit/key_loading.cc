#include "orvex_audit/key_loading.h"

#include "orvex_audit/error_line.h"

namespace orvex::audit_tool {

std::optional<audit::AuditKeyPair> load_key_or_report(std::FILE* err) {
  Result<audit::AuditKeyPair> key = audit::load_signing_key();
  if (key.ok()) return std::move(key).value();
  report_error(err, key.failure().message);
  return std::nullopt;
}

}  // namespace orvex::audit_tool
