// The view of a JSON value as a double, shared by the constraint operators
// and the daily spend rule.
#pragma once

#include "json/value.h"

namespace orvex::validation {

// A number of any kind as the nearest double (ties to even); anything else,
// or an absent value (nullptr), is `fallback`. A string is never parsed:
// "150" yields `fallback`.
double numeric_value(const json::JsonValue* value, double fallback);

}  // namespace orvex::validation
