#include "json/utf8.h"

#include <cstdint>
#include <cstring>

namespace orvex::json {

Utf8Char decode_utf8(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1, 0};

  std::size_t length = 0;
  char32_t code_point = 0;
  // The second byte's range is narrower than 80..BF after some leads; that
  // is what rules out overlong forms, surrogates and values past U+10FFFF.
  unsigned char second_min = 0x80;
  unsigned char second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;
    if (lead == 0xED) second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;
    if (lead == 0xF4) second_max = 0x8F;
  } else {
    return {0, 0, 1};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (text.size() - at <= i) return {0, 0, i};
    const unsigned char next = byte(i);
    const unsigned char min = i == 1 ? second_min : 0x80;
    const unsigned char max = i == 1 ? second_max : 0xBF;
    if (next < min || next > max) return {0, 0, i};
    code_point = (code_point << 6) | (next & 0x3F);
  }
  return {code_point, length, 0};
}

std::size_t first_invalid_utf8(std::string_view text) {
  // ASCII, the common case, eight bytes at a time.
  std::size_t at = 0;
  while (text.size() - at >= 8) {
    std::uint64_t x;
    std::memcpy(&x, text.data() + at, sizeof x);
    if ((x & 0x8080808080808080ULL) != 0) break;
    at += 8;
  }
  while (at < text.size()) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    const Utf8Char c = decode_utf8(text, at);
    if (c.length == 0) return at;
    at += c.length;
  }
  return std::string_view::npos;
}

void append_utf8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

}  // namespace orvex::json
