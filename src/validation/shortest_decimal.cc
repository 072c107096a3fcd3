#include "validation/shortest_decimal.h"

#include <cmath>
#include <string_view>

#include "json/float_text.h"
#include "validation/notation_words.h"

namespace orvex::validation {

void append_shortest_decimal(double x, std::string& out) {
  if (std::isnan(x)) {
    out += notation::kNotANumber;
    return;
  }
  if (std::isinf(x)) {
    out += x > 0 ? notation::kInfinity : notation::kNegativeInfinity;
    return;
  }
  if (x == 0) {
    out += std::signbit(x) ? notation::kNegativeZero : notation::kZero;
    return;
  }

  const json::ShortestDigits shortest = json::shortest_digits(x);
  const std::string_view digits(shortest.digits, static_cast<std::size_t>(shortest.count));
  const int count = shortest.count;
  // With |x| = 0.d1...dn x 10^point, `point` is the number of digits that
  // stand before the decimal point (none or fewer when it is not positive).
  const int point = shortest.exponent + 1;

  if (x < 0) out += '-';
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (point < count) {
    out += digits.substr(0, static_cast<std::size_t>(point));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(point));
  } else {
    out += digits;
    out.append(static_cast<std::size_t>(point - count), '0');
  }
}

}  // namespace orvex::validation
