#include "validation/json_equal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "validation_test_values.h"

namespace orvex::validation {
namespace {

using namespace test_values;

struct EqualCase {
  std::string name;
  JsonValue a;
  JsonValue b;
  bool equal;
};

// Every row is checked in both directions: the relation is symmetric.
void check(const std::vector<EqualCase>& cases) {
  for (const auto& c : cases) {
    EXPECT_EQ(json_equal(c.a, c.b), c.equal) << c.name;
    EXPECT_EQ(json_equal(c.b, c.a), c.equal) << c.name << " (swapped)";
  }
}

TEST(JsonEqual, DifferentTypesAreUnequal) {
  check({
      {"null and false", Null(), B(false), false},
      {"null and zero", Null(), U(0), false},
      {"null and empty string", Null(), S(""), false},
      {"false and zero", B(false), U(0), false},
      {"true and one", B(true), U(1), false},
      {"number and its text", U(5), S("5"), false},
      {"empty array and empty object", A({}), O({}), false},
      {"number and array holding it", U(2), A({U(1), U(2), U(3)}), false},
  });
}

TEST(JsonEqual, Scalars) {
  check({
      {"null", Null(), Null(), true},
      {"true", B(true), B(true), true},
      {"false", B(false), B(false), true},
      {"true and false", B(true), B(false), false},
  });
}

TEST(JsonEqual, NumbersNeedTheSameKindAndValue) {
  constexpr std::uint64_t two_to_53 = 9007199254740992u;
  check({
      {"5 and 5", U(5), U(5), true},
      {"5 and 6", U(5), U(6), false},
      {"5 and 5.0", U(5), F(5.0), false},
      {"5.0 and 5.0", F(5.0), F(5.0), true},
      {"0.0 and -0.0", F(0.0), F(-0.0), true},
      {"0 and -0", U(0), F(-0.0), false},
      {"0 and 0.0", U(0), F(0.0), false},
      {"-7 and -7", N(-7), N(-7), true},
      {"-7 and -8", N(-7), N(-8), false},
      {"-7 and -7.0", N(-7), F(-7.0), false},
      {"beyond 2^53 integers stay exact", U(two_to_53 + 1), U(two_to_53), false},
      {"largest unsigned", U(std::numeric_limits<std::uint64_t>::max()),
       U(std::numeric_limits<std::uint64_t>::max()), true},
      {"smallest negative", N(std::numeric_limits<std::int64_t>::min()),
       N(std::numeric_limits<std::int64_t>::min()), true},
      {"0.1 and 0.1", F(0.1), F(0.1), true},
      {"0.3 and 0.1+0.2", F(0.3), F(0.1 + 0.2), false},
  });
}

TEST(JsonEqual, StringsCompareAsBytes) {
  check({
      {"same", S("eu"), S("eu"), true},
      {"letter case", S("eu"), S("EU"), false},
      {"empty", S(""), S(""), true},
      {"prefix", S("eu"), S("eu-west"), false},
      {"trailing space", S("eu"), S("eu "), false},
      {"no normalisation", S("\xC3\xA9"), S("e\xCC\x81"), false},
      {"embedded NUL", S(std::string("a\0b", 3)), S(std::string("a\0b", 3)), true},
      {"embedded NUL differs", S(std::string("a\0b", 3)), S(std::string("a\0c", 3)), false},
  });
}

TEST(JsonEqual, ArraysCompareInOrder) {
  check({
      {"empty", A({}), A({}), true},
      {"same", A({U(1), U(2)}), A({U(1), U(2)}), true},
      {"order matters", A({U(1), U(2)}), A({U(2), U(1)}), false},
      {"no membership", A({U(1), U(2)}), A({U(1), U(2), U(3)}), false},
      {"element kinds", A({U(1)}), A({F(1.0)}), false},
      {"nested", A({A({Null()}), O({{"a", B(true)}})}), A({A({Null()}), O({{"a", B(true)}})}), true},
      {"nested differs", A({A({Null()})}), A({A({B(false)})}), false},
  });
}

TEST(JsonEqual, ObjectsCompareKeySetsAndValues) {
  check({
      {"empty", O({}), O({}), true},
      {"written order does not matter", O({{"a", U(1)}, {"b", U(2)}}), O({{"b", U(2)}, {"a", U(1)}}), true},
      {"extra member", O({{"a", U(1)}}), O({{"a", U(1)}, {"b", U(2)}}), false},
      {"different key", O({{"a", U(1)}}), O({{"b", U(1)}}), false},
      {"key case", O({{"a", U(1)}}), O({{"A", U(1)}}), false},
      {"different value", O({{"a", U(1)}}), O({{"a", U(2)}}), false},
      {"value kind", O({{"a", U(1)}}), O({{"a", F(1.0)}}), false},
      {"later repeated key wins", O({{"a", U(9)}, {"a", U(1)}}), O({{"a", U(1)}}), true},
      {"nested", O({{"m", O({{"z", U(1)}, {"a", A({B(true), Null()})}})}}),
       O({{"m", O({{"a", A({B(true), Null()})}, {"z", U(1)}})}}), true},
      {"nested differs", O({{"m", O({{"z", U(1)}})}}), O({{"m", O({{"z", U(2)}})}}), false},
  });
}

}  // namespace
}  // namespace orvex::validation
