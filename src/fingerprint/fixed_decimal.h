// The fixed six-decimal text of a number in the fingerprint's canonical text.
#pragma once

#include <cstddef>
#include <string>

namespace orvex::fingerprint {

// The longest text write_fixed_decimal6 produces: "-", the 309 integer
// digits of the largest double, ".", six digits.
inline constexpr std::size_t kMaxFixedDecimal6 = 1 + 309 + 1 + 6;

// Writes x rounded to six decimals at `out` and returns the end: the exact
// binary value rounded to nearest, an exact tie to the even sixth digit;
// the integer part in full, ".", six digits; "-" whenever the sign bit is
// set, even when the digits are all zero. 0.0078125 -> "0.007812",
// -0.0 -> "-0.000000", 1e21 -> "1000000000000000000000.000000".
// Non-finite x is written "inf", "-inf" or "nan" (see the .cc).
// REQUIRES: kMaxFixedDecimal6 bytes of room at `out`.
char* write_fixed_decimal6(double x, char* out);

inline void append_fixed_decimal6(double x, std::string& out) {
  char text[kMaxFixedDecimal6];
  out.append(text, write_fixed_decimal6(x, text));
}

}  // namespace orvex::fingerprint
