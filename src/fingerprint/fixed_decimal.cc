#include "fingerprint/fixed_decimal.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
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

constexpr std::uint64_t kMillion = 1000000;

// The exact text for doubles whose binary value, scaled by 10^6, fits in
// 128 bits as an integer over a power of two: magnitudes below 2^64 with
// any fraction. Returns false for the rest, which take the general path.
bool append_fixed_decimal6_fast(double x, std::string& out) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased_exponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased_exponent == 0x7FF) return false;
  int exponent;  // |x| = mantissa * 2^exponent
  if (biased_exponent == 0) {
    exponent = -1074;
  } else {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased_exponent - 1075;
  }
  if (exponent > 11) return false;  // |x| may reach 2^64: leave it to to_chars

  // micros = |x| * 10^6 rounded to nearest, an exact tie to even.
  unsigned __int128 micros;
  if (exponent >= 0) {
    micros = (static_cast<unsigned __int128>(mantissa) << exponent) * kMillion;
  } else {
    const int shift = -exponent;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * kMillion;  // < 2^73
    if (shift >= 75) {
      micros = 0;  // scaled / 2^shift < 1/4: rounds to zero
    } else {
      micros = scaled >> shift;
      const unsigned __int128 rest = scaled & ((static_cast<unsigned __int128>(1) << shift) - 1);
      const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
      if (rest > half || (rest == half && (micros & 1) != 0)) ++micros;
    }
  }
  // 128-bit division is a library call; the usual magnitudes fit in 64 bits.
  std::uint64_t whole;
  std::uint64_t fraction;
  if (micros <= std::numeric_limits<std::uint64_t>::max()) {
    const auto narrow = static_cast<std::uint64_t>(micros);
    whole = narrow / kMillion;
    fraction = narrow % kMillion;
  } else {
    const unsigned __int128 wide_whole = micros / kMillion;
    if (wide_whole > std::numeric_limits<std::uint64_t>::max()) return false;
    whole = static_cast<std::uint64_t>(wide_whole);
    fraction = static_cast<std::uint64_t>(micros % kMillion);
  }

  char text[32];
  char* at = text;
  if (negative) *at++ = '-';
  at = std::to_chars(at, text + sizeof text, whole).ptr;
  *at++ = '.';
  for (int i = kFractionDigits - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  out.append(text, static_cast<std::size_t>(at + kFractionDigits - text));
  return true;
}

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
  if (append_fixed_decimal6_fast(x, out)) return;
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
