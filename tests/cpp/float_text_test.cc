#include "json/float_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace orvex::json {
namespace {

std::string float_text(double x) {
  std::string out;
  append_float_text(x, out);
  return out;
}

struct Case {
  double input;
  const char* expected;
};

void expect_all(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(float_text(c.input), c.expected) << "input " << std::hexfloat << c.input;
  }
}

TEST(FloatText, Zeros) {
  expect_all({{0.0, "0.0"}, {-0.0, "-0.0"}});
}

TEST(FloatText, IntegerValuesInPlainNotation) {
  expect_all({
      {1.0, "1.0"},
      {100.0, "100.0"},
      {-7.0, "-7.0"},
      {1e15, "1000000000000000.0"},
      {1.2345e15, "1234500000000000.0"},
      {9007199254740992.0, "9007199254740992.0"},  // 2^53: E = 15, n = 16
  });
}

TEST(FloatText, FractionsInPlainNotation) {
  expect_all({
      {12.5, "12.5"},
      {3.14159, "3.14159"},
      {-1.5, "-1.5"},
      {0.5, "0.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123456.789, "123456.789"},
      {1e-5, "0.00001"},
      {1.5e-5, "0.000015"},
      {-2.5e-5, "-0.000025"},
  });
}

TEST(FloatText, ExponentNotationOutsidePlainRange) {
  expect_all({
      {1e16, "1e+16"},
      {1.5e16, "1.5e+16"},
      {-1.5e16, "-1.5e+16"},
      {1e21, "1e+21"},
      {1e100, "1e+100"},
      {18446744073709551616.0, "1.8446744073709552e+19"},
      {1e-6, "1e-6"},
      {9.5e-6, "9.5e-6"},
      {1.2345e-7, "1.2345e-7"},
      {1e-100, "1e-100"},
      {DBL_MAX, "1.7976931348623157e+308"},
      {DBL_MIN, "2.2250738585072014e-308"},
      {5e-324, "5e-324"},
      {-5e-324, "-5e-324"},
  });
}

TEST(FloatText, AppendsToExistingText) {
  std::string out = "floating point `";
  append_float_text(2.0, out);
  out += '`';
  EXPECT_EQ(out, "floating point `2.0`");
}

struct DigitsCase {
  double input;
  const char* digits;
  int exponent;
};

TEST(ShortestDigits, DigitsAndExponent) {
  const DigitsCase cases[] = {
      {1.0, "1", 0},
      {12.5, "125", 1},
      {-2.5, "25", 0},  // the digits of the magnitude
      {100.0, "1", 2},
      {0.001, "1", -3},
      {1e23, "1", 23},  // nearest double is 9.999...e22, yet "1e23" reads back to it
      {5e-324, "5", -324},  // 3e-324 ... 7e-324 all read back; 5 is nearest
      {DBL_MAX, "17976931348623157", 308},
      {0.1 + 0.2, "30000000000000004", -1},
  };
  for (const DigitsCase& c : cases) {
    const ShortestDigits d = shortest_digits(c.input);
    EXPECT_EQ(std::string(d.digits, d.count), c.digits) << c.input;
    EXPECT_EQ(d.exponent, c.exponent) << c.input;
  }
}

double from_bits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// Any finite double, or (when `near_one`) one whose binary exponent lies
// in -24..55, so that plain notation and its borders are well covered.
double random_double(std::mt19937_64& random, bool near_one) {
  for (;;) {
    std::uint64_t bits = random();
    if (near_one) {
      const std::uint64_t exponent = 1023 - 24 + (bits >> 52) % 80;
      bits = (bits & 0x800FFFFFFFFFFFFFull) | (exponent << 52);
    }
    const double x = from_bits(bits);
    if (std::isfinite(x) && x != 0) return x;
  }
}

// Every text reads back to the very same double, and no shorter digit
// string does: printf rounds correctly, so its shortest round-tripping
// precision bounds ours, and at equal length both pick the nearest digits.
TEST(FloatText, RoundTripsAndIsShortestOnRandomDoubles) {
  std::mt19937_64 random(77);
  char buffer[64];
  for (int i = 0; i < 100000; ++i) {
    const double x = random_double(random, i % 2 == 0);

    const std::string text = float_text(x);
    const double back = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&back, &x, sizeof x), 0) << text;

    int printf_digits = 1;
    for (;; ++printf_digits) {
      std::snprintf(buffer, sizeof buffer, "%.*e", printf_digits - 1, x);
      if (std::strtod(buffer, nullptr) == x) break;
    }
    const ShortestDigits d = shortest_digits(x);
    ASSERT_LE(d.count, printf_digits) << text;
    if (d.count == printf_digits) {
      std::string printed;
      for (const char* p = buffer; *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') printed += *p;
      }
      ASSERT_EQ(std::string(d.digits, d.count), printed) << text;
    }
  }
}

}  // namespace
}  // namespace orvex::json
