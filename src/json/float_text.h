// Texts of doubles: the float text of the writer and of messages, and the
// shortest digits both it and the spend message are built from.
#pragma once

#include <string>

namespace orvex::json {

// Shortest decimal digits that read back to |x| exactly (the nearest of
// equally short candidates), as d1 d2 ... dn with no trailing zeros, and
// the exponent E such that |x| = d1.d2...dn x 10^E.
// REQUIRES: x finite and not zero.
struct ShortestDigits {
  char digits[20];
  int count;
  int exponent;
};
ShortestDigits shortest_digits(double x);

// Appends the float text of a finite double: 0.0, 1.0, 12.5, 0.00001,
// 1e+16, 1.2345e-7, -0.0 ...
// REQUIRES: x finite.
void append_float_text(double x, std::string& out);

}  // namespace orvex::json
