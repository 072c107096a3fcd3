// The one filler of message templates: every fixed text with values in it is
// written whole, with "{}" where each value goes.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvex {

// Returns `text` with each "{}" replaced by the next of `values`; a "{}"
// left over once the values run out is copied as it stands.
std::string fill_message(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace orvex
