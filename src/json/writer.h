// The one compact JSON writer. Its bytes are what the audit log signs and
// stores, and what a non-string objective becomes.
#pragma once

#include <string>
#include <string_view>

#include "json/value.h"

namespace orvex::json {

// Appends the compact text of `value` (no whitespace anywhere, object
// members in ascending key order, non-finite floats as null). Never fails.
void write_compact(const JsonValue& value, std::string& out);
std::string write_compact(const JsonValue& value);

// Appends `text` as a JSON string: quotes, \" \\ \b \t \n \f \r, other
// controls as \u00xx, everything else (U+007F and non-ASCII included) as is.
void write_string(std::string_view text, std::string& out);

// Appends a members-in-order object; the caller guarantees the order.
void write_object(const Object& members, std::string& out);

}  // namespace orvex::json
