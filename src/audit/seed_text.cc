#include "audit/seed_text.h"

#include <cstdint>

#include "json/utf8.h"

namespace orvex::audit {

namespace {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool is_continuation(char byte) { return (static_cast<std::uint8_t>(byte) & 0xC0) == 0x80; }

}  // namespace

std::string_view trim_white_space(std::string_view utf8) {
  while (!utf8.empty()) {
    const json::Utf8Char first = json::decode_utf8(utf8, 0);
    if (!is_white_space(first.code_point)) break;
    utf8.remove_prefix(first.length);
  }
  while (!utf8.empty()) {
    std::size_t start = utf8.size() - 1;
    while (start > 0 && is_continuation(utf8[start])) --start;
    const json::Utf8Char last = json::decode_utf8(utf8, start);
    if (!is_white_space(last.code_point)) break;
    utf8.remove_suffix(last.length);
  }
  return utf8;
}

std::size_t first_byte_not_utf8(std::string_view bytes) {
  const std::size_t bad = json::first_invalid_utf8(bytes);
  return bad == std::string_view::npos ? bytes.size() : bad;
}

}  // namespace orvex::audit
