// Temporary: replaced by the fingerprint itself.
#include "fingerprint/fingerprint.h"

namespace orvex::fingerprint {
Result<std::string> generate_logic_fingerprint(std::string_view) {
  return Failure::ordinary("generate_logic_fingerprint is not built yet");
}
Result<bool> verify_logic_fingerprint(std::string_view, std::string_view) {
  return Failure::ordinary("verify_logic_fingerprint is not built yet");
}
}  // namespace orvex::fingerprint
