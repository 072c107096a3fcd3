#include "orvex_audit/hex_digits.h"

namespace orvex::audit_tool {

namespace {

// The value 0..15 of a digit, or -1.
int digit_value(char c, HexCase accepted) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (accepted == HexCase::Either && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool decode_hex(std::string_view text, HexCase accepted, std::span<std::uint8_t> out) {
  if (text.size() != 2 * out.size()) return false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int high = digit_value(text[2 * i], accepted);
    const int low = digit_value(text[2 * i + 1], accepted);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

}  // namespace orvex::audit_tool
