#include "fingerprint/fixed_decimal.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <system_error>

namespace orvex::fingerprint {

namespace {

constexpr int kFractionDigits = 6;
// The largest double has 309 integer digits; with the sign, the point and
// six fraction digits the text stays well inside this.
constexpr std::size_t kBufferSize = 330;

constexpr std::string_view kInfinity = "inf";
constexpr std::string_view kNegativeInfinity = "-inf";
constexpr std::string_view kNotANumber = "nan";

}  // namespace

void append_fixed_decimal6(double x, std::string& out) {
  // Manifest numbers come from the reader, which never yields a non-finite
  // value. Should one arrive anyway, it gets a readable fixed word instead
  // of undefined digits (to_chars would spell a negative NaN "-nan").
  if (std::isnan(x)) {
    out += kNotANumber;
    return;
  }
  if (std::isinf(x)) {
    out += x < 0 ? kNegativeInfinity : kInfinity;
    return;
  }
  // to_chars rounds the exact binary value, ties to even, and writes the
  // sign of negative zero and of negatives that round to zero, which is
  // the printf("%.6f") text the canonical form is defined by.
  char text[kBufferSize];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, kFractionDigits);
  if (ec != std::errc()) return;  // cannot happen: the buffer fits every finite double
  out.append(text, end);
}

}  // namespace orvex::fingerprint
