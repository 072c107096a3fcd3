// Temporary: replaced by the decision itself.
#include "validation/validate.h"

namespace orvex::validation {
Result<bool> validate_intent_json(std::string_view, std::string_view, std::string_view) {
  return Failure::ordinary("validate_intent_json is not built yet");
}
}  // namespace orvex::validation
