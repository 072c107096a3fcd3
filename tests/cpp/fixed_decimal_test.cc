#include "fingerprint/fixed_decimal.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>

namespace orvex::fingerprint {
namespace {

struct Case {
  double input;
  const char* expected;
};

std::string fixed(double x) {
  std::string out;
  append_fixed_decimal6(x, out);
  return out;
}

void expect_all(const Case* cases, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_EQ(fixed(cases[i].input), cases[i].expected) << "input " << cases[i].input;
  }
}

TEST(FixedDecimal, PlainValues) {
  const Case cases[] = {
      {0.5, "0.500000"},       {2.0, "2.000000"},           {0.1, "0.100000"},
      {-1.5, "-1.500000"},     {123.456, "123.456000"},     {2.675, "2.675000"},
      {1e-6, "0.000001"},      {1e15, "1000000000000000.000000"},
      {1e21, "1000000000000000000000.000000"},
      {4503599627370495.5, "4503599627370495.500000"},
      // Around the whole parts written as one digit, a pair, and in full.
      {9.5, "9.500000"},       {10.5, "10.500000"},         {99.75, "99.750000"},
      {100.25, "100.250000"},  {18446744073709549568.0, "18446744073709549568.000000"},
      // Scaled by 10^6 beyond 64 bits, with fractions: the long division.
      {35184372088832.5, "35184372088832.500000"},
      {123456789012345.671875, "123456789012345.671875"},
  };
  expect_all(cases, std::size(cases));
}

TEST(FixedDecimal, RoundsTheExactBinaryValueTiesToEven) {
  const Case cases[] = {
      // Exact ties (multiples of 2^-7): the even sixth digit wins.
      {0.0078125, "0.007812"},
      {0.0234375, "0.023438"},
      {0.0390625, "0.039062"},
      {0.0546875, "0.054688"},
      {-0.0078125, "-0.007812"},
      // Near ties decided by the binary value, not the decimal spelling.
      {123456.7890125, "123456.789012"},
      {5e-7, "0.000000"},
      {1.5e-6, "0.000002"},
      {2.5e-6, "0.000003"},
      // Carries through the point.
      {9.9999999, "10.000000"},
      {0.9999995, "1.000000"},
      // Differences beyond the sixth decimal vanish.
      {0.1234561, "0.123456"},
      {0.1234564, "0.123456"},
      {0.00000025, "0.000000"},
  };
  expect_all(cases, std::size(cases));
}

TEST(FixedDecimal, SignBitAlwaysGivesMinus) {
  const Case cases[] = {
      {0.0, "0.000000"},
      {-0.0, "-0.000000"},
      {-0.0000001, "-0.000000"},
      {-5e-324, "-0.000000"},
      {5e-324, "0.000000"},
  };
  expect_all(cases, std::size(cases));
}

TEST(FixedDecimal, LargestDoubleInFull) {
  EXPECT_EQ(fixed(DBL_MAX),
            "17976931348623157081452742373170435679807056752584499659891747680315726078002853"
            "87605895586327668781715404589535143824642343213268894641827684675467035375169860"
            "49910576551282076245490090389328944075868508455133942304583236903222948165808559"
            "332123348274797826204144723168738177180919299881250404026184124858368.000000");
  EXPECT_EQ(fixed(-DBL_MAX).substr(0, 5), "-1797");
}

TEST(FixedDecimal, NonFiniteWordsInsteadOfCrashing) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {inf, "inf"},
      {-inf, "-inf"},
      {nan, "nan"},
      {std::copysign(nan, -1.0), "nan"},
  };
  expect_all(cases, std::size(cases));
}

TEST(FixedDecimal, AppendsToExistingText) {
  std::string out = "a:";
  append_fixed_decimal6(2.0, out);
  out += ';';
  EXPECT_EQ(out, "a:2.000000;");
}

// The C library's "%.6f" rounds the exact value too; both must agree on
// every finite double, whatever its magnitude.
TEST(FixedDecimal, MatchesPrintfOnRandomDoubles) {
  std::mt19937_64 random(20240611);
  char expected[400];
  for (int i = 0; i < 100000; ++i) {
    std::uint64_t bits = random();
    // Half of the samples near 1, where six decimals matter most.
    if (i % 2 == 0) {
      const auto exponent = static_cast<std::uint64_t>(0x3E0 + i % 0x60);
      bits = (bits & 0x800FFFFFFFFFFFFFull) | (exponent << 52);
    }
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    std::snprintf(expected, sizeof expected, "%.6f", x);
    ASSERT_EQ(fixed(x), expected) << "bits " << std::hex << bits;
  }
}

// Doubles m * 2^e whose value scaled by 10^6 leaves only a small remainder
// modulo 2^128: exact 128-bit arithmetic admitted beyond its range would
// write that remainder. Every exponent where such a mantissa exists.
TEST(FixedDecimal, MatchesPrintfWhereTheScaledValueWouldWrap128Bits) {
  constexpr unsigned __int128 kMicrosFactor = 15625;  // 10^6 = 15625 * 2^6
  char expected[400];
  for (int e = 0; e <= 121; ++e) {
    const int modulus_bits = 122 - e;  // m * 15625 * 2^(e+6) wraps at 2^128
    if (modulus_bits > 66) continue;  // m * 15625 < 2^67: no wrap
    const unsigned __int128 modulus = static_cast<unsigned __int128>(1) << modulus_bits;
    // The first few multiples k * 2^modulus_bits that a mantissa times 15625 can reach.
    const unsigned __int128 first = ((static_cast<unsigned __int128>(1) << 52) * kMicrosFactor + modulus - 1) / modulus;
    for (unsigned __int128 k = first; k < first + 8; ++k) {
      const unsigned __int128 m = (k * modulus + kMicrosFactor - 1) / kMicrosFactor;
      if (m < (std::uint64_t{1} << 52) || m >= (std::uint64_t{1} << 53)) continue;
      const double x = std::ldexp(static_cast<double>(static_cast<std::uint64_t>(m)), e);
      std::snprintf(expected, sizeof expected, "%.6f", x);
      ASSERT_EQ(fixed(x), expected) << "mantissa " << static_cast<std::uint64_t>(m) << " exponent " << e;
    }
  }
}

}  // namespace
}  // namespace orvex::fingerprint
