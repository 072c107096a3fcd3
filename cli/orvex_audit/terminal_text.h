// Text from outside (a file name, a record's member name) made safe to
// print on a terminal: a line feed in a file name must not start a line of
// its own in the report, and an escape byte must not reach the terminal.
#pragma once

#include <string>
#include <string_view>

namespace orvex::audit_tool {

// `text` with every control character (C0, DEL, and C1 as its two UTF-8
// bytes) and every byte outside a valid UTF-8 sequence written as \xHH, one
// per byte; all other text, UTF-8 letters included, is left as it is.
std::string terminal_text(std::string_view text);

}  // namespace orvex::audit_tool
