// The decision of validate_intent_json.
#pragma once

#include <string_view>

#include "common/result.h"

namespace orvex::validation {

// Decodes the three documents, applies the daily spend rule and the
// intent's constraints, appends the signed audit record, and returns true
// for an allowed action. A denial, or a malformed document, is an ordinary
// failure carrying the reason; a missing or malformed ORVEX_SEED is an abort.
Result<bool> validate_intent_json(std::string_view intent_json, std::string_view action_json,
                                  std::string_view state_json);

}  // namespace orvex::validation
