// Eight ASCII digits at a time, in a 64-bit word loaded from the text.
#pragma once

#include <bit>
#include <cstdint>

namespace orvex::json {

// Whether the words below read the first byte of the text as their lowest.
inline constexpr bool kEightDigitWords = std::endian::native == std::endian::little;

// Eight ASCII digits in `v` (first digit in the lowest byte)?
inline bool is_eight_digits(std::uint64_t v) {
  // Each byte is 0x30..0x39: its high nibble is 3, and adding 6 does not
  // carry into the next nibble.
  return (((v & 0xF0F0F0F0F0F0F0F0ULL) | (((v + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ==
          0x3333333333333333ULL);
}

// The value of eight ASCII digits, the first the most significant: pairs,
// then quads, then the whole, each step one multiply.
inline std::uint64_t eight_digits_value(std::uint64_t v) {
  v -= 0x3030303030303030ULL;
  v = (v * 10) + (v >> 8);  // each even byte: two digits
  v = (((v & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
       (((v >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
      32;
  return v;
}

}  // namespace orvex::json
