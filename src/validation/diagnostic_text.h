// The diagnostic notation of a JSON value, which names each value's type:
// Number(100), String("100"), Array [Null], Object {"a": Bool(true)}. It is
// how a constraint's bound appears in a violation message.
#pragma once

#include <string>

#include "json/value.h"

namespace orvex::validation {

// Appends the notation of `value`, always on one line. Recurses once per
// level of nesting; the reader bounds that depth.
// REQUIRES: every float in `value` finite, as every value read is.
void append_diagnostic_text(const json::JsonValue& value, std::string& out);

}  // namespace orvex::validation
