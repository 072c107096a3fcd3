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

// How many of the bytes of `v` (first byte lowest) are ASCII digits before
// the first that is not: 0..8. A carry out of a byte that is not a digit
// only disturbs the bytes after it, which are not counted anyway.
inline int leading_digit_count(std::uint64_t v) {
  const std::uint64_t flags = ((v & 0xF0F0F0F0F0F0F0F0ULL) | (((v + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ^
                              0x3333333333333333ULL;
  return flags == 0 ? 8 : std::countr_zero(flags) / 8;
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

// The value of the first `count` bytes of `v`, all ASCII digits: they move
// to the top of the word below '0' bytes, which add nothing.
// REQUIRES: 0 < count <= 8 and leading_digit_count(v) >= count.
inline std::uint64_t leading_digits_value(std::uint64_t v, int count) {
  const int pad = 8 * (8 - count);
  return eight_digits_value(pad == 0 ? v : (v << pad) | (0x3030303030303030ULL >> (64 - pad)));
}

}  // namespace orvex::json
