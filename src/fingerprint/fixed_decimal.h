// The fixed six-decimal text of a number in the fingerprint's canonical text.
#pragma once

#include <string>

namespace orvex::fingerprint {

// Appends x rounded to six decimals: the exact binary value rounded to
// nearest, an exact tie to the even sixth digit; the integer part in full,
// ".", six digits; "-" whenever the sign bit is set, even when the digits
// are all zero. 0.0078125 -> "0.007812", -0.0 -> "-0.000000",
// 1e21 -> "1000000000000000000000.000000".
// Non-finite x is written "inf", "-inf" or "nan" (see the .cc).
void append_fixed_decimal6(double x, std::string& out);

}  // namespace orvex::fingerprint
