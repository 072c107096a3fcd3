#include "validation/shortest_decimal.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace orvex::validation {
namespace {

struct DecimalCase {
  std::string name;
  double value;
  std::string expected;
};

std::string decimal(double value) {
  std::string out;
  append_shortest_decimal(value, out);
  return out;
}

void check(const std::vector<DecimalCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(decimal(c.value), c.expected) << c.name;
}

TEST(ShortestDecimal, ValuesWithoutDigits) {
  const double inf = std::numeric_limits<double>::infinity();
  check({
      {"NaN", std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {"negative NaN has no sign", -std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {"infinity", inf, "inf"},
      {"negative infinity", -inf, "-inf"},
      {"overflowed sum", 1e308 + 1e308, "inf"},
      {"zero", 0.0, "0"},
      {"negative zero", -0.0, "-0"},
  });
}

TEST(ShortestDecimal, IntegralValuesHaveNoPoint) {
  check({
      {"one", 1.0, "1"},
      {"150", 150.0, "150"},
      {"100", 100.0, "100"},
      {"negative", -150.0, "-150"},
      {"1e15", 1e15, "1000000000000000"},
      {"1e16 never in exponent form", 1e16, "10000000000000000"},
      {"1e21 in full", 1e21, "1" + std::string(21, '0')},
      {"2^53 + 1 reads as 2^53", 9007199254740993.0, "9007199254740992"},
      {"shortest digits then zeros", 1.2345678901234568e20, "123456789012345680000"},
      {"largest double in full", 1.7976931348623157e308, "17976931348623157" + std::string(292, '0')},
  });
}

TEST(ShortestDecimal, PointInsideTheDigits) {
  check({
      {"100.5", 100.5, "100.5"},
      {"1.5", 1.5, "1.5"},
      {"negative", -100.5, "-100.5"},
      {"many digits", 12345.678, "12345.678"},
      {"pi", 3.141592653589793, "3.141592653589793"},
  });
}

TEST(ShortestDecimal, BelowOneStartsWithZeroPoint) {
  check({
      {"0.5", 0.5, "0.5"},
      {"0.3", 0.3, "0.3"},
      {"0.1 + 0.2", 0.1 + 0.2, "0.30000000000000004"},
      {"0.000001 never in exponent form", 0.000001, "0.000001"},
      {"1e-7", 1e-7, "0.0000001"},
      {"negative", -0.25, "-0.25"},
      {"smallest double in full", 5e-324, "0." + std::string(323, '0') + "5"},
      {"smallest normal", 2.2250738585072014e-308, "0." + std::string(307, '0') + "22250738585072014"},
  });
}

TEST(ShortestDecimal, AppendsToWhatIsThere) {
  std::string out = "total ";
  append_shortest_decimal(100.5, out);
  EXPECT_EQ(out, "total 100.5");
}

}  // namespace
}  // namespace orvex::validation
