#include "json/json_error.h"

#include <algorithm>

#include "json/messages.h"

namespace orvex::json {

TextPosition position_of(std::string_view text, std::size_t offset) {
  std::string_view before = text.substr(0, offset);
  std::size_t last_feed = before.rfind('\n');
  std::size_t line_start = last_feed == std::string_view::npos ? 0 : last_feed + 1;
  std::size_t feeds = static_cast<std::size_t>(std::count(before.begin(), before.begin() + line_start, '\n'));
  return TextPosition{1 + feeds, offset - line_start};
}

std::string error_text(std::string_view text, const JsonError& error) {
  TextPosition pos = position_of(text, error.offset);
  std::string out = error.message;
  out += messages::kAtLine;
  out += std::to_string(pos.line);
  out += messages::kColumn;
  out += std::to_string(pos.column);
  return out;
}

}  // namespace orvex::json
