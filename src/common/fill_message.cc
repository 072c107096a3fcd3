#include "common/fill_message.h"

namespace orvex {

void append_filled(std::string& out, std::string_view text, std::initializer_list<std::string_view> values) {
  auto next = values.begin();
  std::size_t at = 0;
  for (;;) {
    const std::size_t brace = text.find_first_of("{}", at);
    if (brace == std::string_view::npos || brace + 1 == text.size()) break;
    const char pair = text[brace + 1];
    if (text[brace] == '{' && pair == '}') {
      if (next == values.end()) {
        out.append(text.substr(at, brace + 2 - at));
      } else {
        out.append(text.substr(at, brace - at));
        out.append(*next++);
      }
    } else if (pair == text[brace]) {  // "{{" or "}}": one literal brace
      out.append(text.substr(at, brace + 1 - at));
    } else {  // a lone brace stands for itself
      out.append(text.substr(at, brace + 1 - at));
      at = brace + 1;
      continue;
    }
    at = brace + 2;
  }
  out.append(text.substr(at));
}

std::string fill_message(std::string_view text, std::initializer_list<std::string_view> values) {
  constexpr std::size_t kRoomForValues = 64;
  std::string out;
  out.reserve(text.size() + kRoomForValues);
  append_filled(out, text, values);
  return out;
}

}  // namespace orvex
