// A failed read: one message and the byte offset it points at.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvex::json {

struct JsonError {
  std::string message;
  // The offset just past the byte at which the problem was found (or the
  // length of the text for a premature end). 0 <= offset <= text length.
  std::size_t offset = 0;
};

struct TextPosition {
  std::size_t line;    // 1-based; only a line feed starts a new line
  std::size_t column;  // bytes since the last line feed; 0 right after one
};

TextPosition position_of(std::string_view text, std::size_t offset);

// "<message> at line L column C": the only form in which an error leaves the system.
std::string error_text(std::string_view text, const JsonError& error);

}  // namespace orvex::json
