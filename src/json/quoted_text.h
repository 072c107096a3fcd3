// The quoted text of a string, used in reading errors ("string \"x\"") and
// in the diagnostic notation of constraint bounds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex::json {

// Appends `"`, each character escaped as \0 \t \r \n \\ \" or \u{hex} (for
// Grapheme_Extend and non-printable characters) or else as itself, `"`.
void append_quoted_text(std::string_view utf8, std::string& out);

// Appends a character literal in single quotes with the same escapes,
// except that ' is escaped and " is not: 'g', ' ', '\t', '\'', '\u{80}'.
void append_char_literal(std::uint32_t code_point, std::string& out);

}  // namespace orvex::json
