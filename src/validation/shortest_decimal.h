// The plain decimal text of a double that the spend denial shows.
#pragma once

#include <string>

namespace orvex::validation {

// Appends the shortest digits that read back to `x`, written out in plain
// positional notation: 100.5, 150, 0.0000001, 1 followed by 21 zeros. Never
// an exponent, never a trailing ".0", never a plus sign. The values without
// digits are "NaN", "inf", "-inf", "0" and "-0".
void append_shortest_decimal(double x, std::string& out);

}  // namespace orvex::validation
