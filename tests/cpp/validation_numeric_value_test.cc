#include "validation/numeric_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "validation_test_values.h"

namespace orvex::validation {
namespace {

using namespace test_values;

constexpr double kFallback = -42.5;

struct NumericCase {
  std::string name;
  JsonValue value;
  double expected;
};

TEST(NumericValue, NumbersOfEveryKindBecomeDoubles) {
  const std::vector<NumericCase> cases = {
      {"unsigned zero", U(0), 0.0},
      {"unsigned", U(150), 150.0},
      {"unsigned largest exact", U(9007199254740992u), 9007199254740992.0},
      {"unsigned tie rounds to even below", U(9007199254740993u), 9007199254740992.0},
      {"unsigned tie rounds to even above", U(9007199254740995u), 9007199254740996.0},
      {"unsigned largest", U(std::numeric_limits<std::uint64_t>::max()), 18446744073709551616.0},
      {"negative", N(-7), -7.0},
      {"negative smallest", N(std::numeric_limits<std::int64_t>::min()), -9223372036854775808.0},
      {"negative tie rounds to even", N(-9007199254740993), -9007199254740992.0},
      {"float", F(100.5), 100.5},
      {"float tiny", F(5e-324), 5e-324},
      {"float largest", F(1.7976931348623157e308), 1.7976931348623157e308},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numeric_value(&c.value, kFallback), c.expected) << c.name;
  }
}

TEST(NumericValue, NegativeZeroKeepsItsSign) {
  const JsonValue zero = F(-0.0);
  const double seen = numeric_value(&zero, kFallback);
  EXPECT_EQ(seen, 0.0);
  EXPECT_TRUE(std::signbit(seen));
}

TEST(NumericValue, EverythingElseIsTheFallback) {
  const std::vector<std::pair<std::string, JsonValue>> cases = {
      {"null", Null()},
      {"true is not one", B(true)},
      {"false", B(false)},
      {"numeric string is not read", S("150")},
      {"empty string", S("")},
      {"array of a number", A({U(1)})},
      {"object", O({{"amount", U(1)}})},
  };
  for (const auto& [name, value] : cases) {
    EXPECT_EQ(numeric_value(&value, kFallback), kFallback) << name;
    EXPECT_EQ(numeric_value(&value, 0.0), 0.0) << name;
  }
}

TEST(NumericValue, AbsentIsTheFallback) {
  EXPECT_EQ(numeric_value(nullptr, kFallback), kFallback);
  EXPECT_EQ(numeric_value(nullptr, -1.0), -1.0);
}

}  // namespace
}  // namespace orvex::validation
