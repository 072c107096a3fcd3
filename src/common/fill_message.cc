#include "common/fill_message.h"

namespace orvex {

std::string fill_message(std::string_view text, std::initializer_list<std::string_view> values) {
  constexpr std::string_view kPlaceholder = "{}";
  std::string out;
  out.reserve(text.size() + 64);
  auto next = values.begin();
  for (std::size_t at = 0;;) {
    std::size_t hole = text.find(kPlaceholder, at);
    if (hole == std::string_view::npos || next == values.end()) {
      out.append(text.substr(at));
      return out;
    }
    out.append(text.substr(at, hole - at));
    out.append(*next++);
    at = hole + kPlaceholder.size();
  }
}

}  // namespace orvex
