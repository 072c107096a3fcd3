// The one filler of message templates. Every fixed text with values in it is
// written whole in its subsystem's table, with "{}" where each value goes, so
// that one look at the table shows the message's full wording.
//
// Template syntax:
//   "{}"  the next value, inserted as it stands (values are never scanned)
//   "{{"  a literal "{"
//   "}}"  a literal "}"
// Any other brace is copied as it stands, and so is a "{}" left over once the
// values run out. A template that shows braces around a placeholder writes
// them doubled: "InvalidHexCharacter {{ c: {}, index: {} }}".
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvex {

// Appends `text` filled with `values` to `out`; allocates only when `out`'s
// capacity is too small for the result.
void append_filled(std::string& out, std::string_view text, std::initializer_list<std::string_view> values);

// `text` filled with `values`, as a new string.
std::string fill_message(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace orvex
