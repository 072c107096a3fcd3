#include "json/float_text.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <system_error>

namespace orvex::json {

namespace {

constexpr std::string_view kZeroText = "0.0";
constexpr std::string_view kIntegerSuffix = ".0";
constexpr std::string_view kFractionPrefix = "0.";
// Exponents from kPlainMinExponent to kPlainMaxExponent are written in
// plain notation, all others as d.ddde+X.
constexpr int kPlainMinExponent = -5;
constexpr int kPlainMaxExponent = 15;
// Longest shortest-scientific text of a double: "-d.dddddddddddddddde-308".
constexpr std::size_t kScientificBufferSize = 32;

}  // namespace

ShortestDigits shortest_digits(double x) {
  // Without a precision, to_chars gives the shortest text that reads back
  // to x, and the nearest one among equally short candidates: exactly the
  // digits wanted, as "d.ddde±X".
  char text[kScientificBufferSize];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, std::fabs(x),
                                       std::chars_format::scientific);
  ShortestDigits result{};
  if (ec != std::errc()) return result;  // cannot happen: the buffer fits every double

  const char* p = text;
  for (; p != end && *p != 'e'; ++p) {
    if (*p != '.') result.digits[result.count++] = *p;
  }
  // A shortest text has no trailing zeros beyond the first digit already;
  // trimming keeps the contract whatever the library does.
  while (result.count > 1 && result.digits[result.count - 1] == '0') --result.count;

  if (p != end) ++p;  // past 'e'
  bool negative_exponent = false;
  if (p != end && (*p == '+' || *p == '-')) negative_exponent = *p++ == '-';
  int magnitude = 0;
  std::from_chars(p, end, magnitude);
  result.exponent = negative_exponent ? -magnitude : magnitude;
  return result;
}

void append_float_text(double x, std::string& out) {
  if (std::signbit(x)) out += '-';
  if (x == 0) {
    out += kZeroText;
    return;
  }
  const ShortestDigits d = shortest_digits(x);
  const std::string_view digits(d.digits, static_cast<std::size_t>(d.count));
  const int n = d.count;
  const int e = d.exponent;

  if (e < kPlainMinExponent || e > kPlainMaxExponent) {
    out += digits[0];
    if (n > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'e';
    out += e < 0 ? '-' : '+';
    char exponent[8];
    const auto end = std::to_chars(exponent, exponent + sizeof exponent, e < 0 ? -e : e).ptr;
    out.append(exponent, end);
    return;
  }
  if (e >= n - 1) {
    // An integer value: all digits, the zeros up to the point, ".0".
    out += digits;
    out.append(static_cast<std::size_t>(e - n + 1), '0');
    out += kIntegerSuffix;
  } else if (e >= 0) {
    const auto integer_digits = static_cast<std::size_t>(e + 1);
    out += digits.substr(0, integer_digits);
    out += '.';
    out += digits.substr(integer_digits);
  } else {
    out += kFractionPrefix;
    out.append(static_cast<std::size_t>(-e - 1), '0');
    out += digits;
  }
}

}  // namespace orvex::json
