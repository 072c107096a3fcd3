#include "fingerprint/fixed_decimal.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstddef>
#include <string_view>
#include <system_error>

namespace orvex::fingerprint {

namespace {

constexpr int kFractionDigits = 6;

constexpr std::string_view kInfinity = "inf";
constexpr std::string_view kNegativeInfinity = "-inf";
constexpr std::string_view kNotANumber = "nan";

constexpr std::uint64_t kMillion = 1000000;

// "00" "01" ... "99": two digits per lookup instead of one division each.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

char* write_pair(unsigned value, char* out) {
  std::memcpy(out, &kDigitPairs[2 * value], 2);
  return out + 2;
}

char* write_text(std::string_view text, char* out) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// The exact text for doubles whose binary value, scaled by 10^6, fits in
// 128 bits as an integer over a power of two: magnitudes below 2^64 with
// any fraction. Returns nullptr for the rest, which take the general path.
char* write_fixed_decimal6_fast(double x, char* out) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased_exponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased_exponent == 0x7FF) return nullptr;
  int exponent;  // |x| = mantissa * 2^exponent
  if (biased_exponent == 0) {
    exponent = -1074;
  } else {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased_exponent - 1075;
  }
  if (exponent > 11) return nullptr;  // |x| may reach 2^64: leave it to to_chars

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
  // No 128-bit division: it is a call into the compiler's runtime library,
  // and zig's brings along its own memcmp and memcpy, which then replace the
  // C library's faster ones in the whole binary. micros < 2^84, so its high
  // word is below 2^20 and long division by 10^6 in 32-bit digits needs
  // only 64-bit operations.
  const auto high = static_cast<std::uint64_t>(micros >> 64);
  const auto low = static_cast<std::uint64_t>(micros);
  if (high >= kMillion) return nullptr;  // the whole part reaches 2^64
  const std::uint64_t upper = (high << 32) | (low >> 32);
  const std::uint64_t lower = ((upper % kMillion) << 32) | (low & 0xFFFFFFFFu);
  const std::uint64_t whole = ((upper / kMillion) << 32) | (lower / kMillion);
  const auto fraction = static_cast<unsigned>(lower % kMillion);

  if (negative) *out++ = '-';
  if (whole < 10) {
    *out++ = static_cast<char>('0' + whole);
  } else if (whole < 100) {
    out = write_pair(static_cast<unsigned>(whole), out);
  } else {
    out = std::to_chars(out, out + 20, whole).ptr;
  }
  *out++ = '.';
  out = write_pair(fraction / 10000, out);
  out = write_pair(fraction / 100 % 100, out);
  return write_pair(fraction % 100, out);
}

}  // namespace

char* write_fixed_decimal6(double x, char* out) {
  // Manifest numbers come from the reader, which never yields a non-finite
  // value. Should one arrive anyway, it gets a readable fixed word instead
  // of undefined digits (to_chars would spell a negative NaN "-nan").
  if (std::isnan(x)) return write_text(kNotANumber, out);
  if (std::isinf(x)) return write_text(x < 0 ? kNegativeInfinity : kInfinity, out);
  if (char* end = write_fixed_decimal6_fast(x, out)) return end;
  // to_chars rounds the exact binary value, ties to even, and writes the
  // sign of negative zero and of negatives that round to zero, which is
  // the printf("%.6f") text the canonical form is defined by.
  const auto [end, ec] = std::to_chars(out, out + kMaxFixedDecimal6, x, std::chars_format::fixed, kFractionDigits);
  // Cannot fail: the room fits every finite double.
  return ec == std::errc() ? end : out;
}

}  // namespace orvex::fingerprint
