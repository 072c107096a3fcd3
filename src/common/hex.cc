#include "common/hex.h"

#include <array>

namespace orvex {

namespace {

// The two digits of every byte value, side by side.
constexpr std::array<char, 512> make_pairs() {
  constexpr char kDigits[] = "0123456789abcdef";
  std::array<char, 512> pairs{};
  for (int byte = 0; byte < 256; ++byte) {
    pairs[2 * byte] = kDigits[byte >> 4];
    pairs[2 * byte + 1] = kDigits[byte & 0x0F];
  }
  return pairs;
}
constexpr std::array<char, 512> kPairs = make_pairs();

// The value 0..15 of a digit, or -1.
int digit_value(char c, HexCase accepted) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (accepted == HexCase::Either && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

char* write_lowercase_hex(std::span<const std::uint8_t> bytes, char* out) {
  for (std::uint8_t byte : bytes) {
    *out++ = kPairs[2 * byte];
    *out++ = kPairs[2 * byte + 1];
  }
  return out;
}

void append_lowercase_hex(std::span<const std::uint8_t> bytes, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * bytes.size());
  write_lowercase_hex(bytes, out.data() + start);
}

std::string lowercase_hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  append_lowercase_hex(bytes, out);
  return out;
}

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

}  // namespace orvex
