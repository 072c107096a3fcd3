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

}  // namespace

void append_lowercase_hex(std::span<const std::uint8_t> bytes, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * bytes.size());
  char* at = out.data() + start;
  for (std::uint8_t byte : bytes) {
    *at++ = kPairs[2 * byte];
    *at++ = kPairs[2 * byte + 1];
  }
}

std::string lowercase_hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  append_lowercase_hex(bytes, out);
  return out;
}

}  // namespace orvex
