#include "json/json_error.h"

#include <algorithm>

#include "common/fill_message.h"
#include "json/json_errors.h"

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
  return fill_message(messages::kErrorAt, {error.message, std::to_string(pos.line), std::to_string(pos.column)});
}

}  // namespace orvex::json
