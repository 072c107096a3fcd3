// Equality of JSON values, the relation behind the "==" operator.
#pragma once

#include "json/value.h"

namespace orvex::validation {

// Values of different types are unequal. Numbers are equal only when of the
// same kind and value: 5 differs from 5.0 and 0 from -0 (a float), while the
// floats 0.0 and -0.0 are equal. Strings compare as bytes, arrays element by
// element in order, objects as key sets with equal values.
bool json_equal(const json::JsonValue& a, const json::JsonValue& b);

}  // namespace orvex::validation
