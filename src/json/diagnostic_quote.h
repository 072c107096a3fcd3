// Strings and characters quoted in the diagnostic notation that messages
// show (reading errors: "string \"x\"", constraint bounds, the seed's bad
// character): escapes meant for a person to read, such as \u{301}. Not
// JSON: JSON text is written by json/writer.h (write_string).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex::json {

// Appends `"`, each character escaped as \0 \t \r \n \\ \" or \u{hex} (for
// Grapheme_Extend and non-printable characters) or else as itself, `"`.
void append_diagnostic_string(std::string_view utf8, std::string& out);

// Appends a character literal in single quotes with the same escapes,
// except that ' is escaped and " is not: 'g', ' ', '\t', '\'', '\u{80}'.
void append_diagnostic_char(std::uint32_t code_point, std::string& out);

}  // namespace orvex::json
