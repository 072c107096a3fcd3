#include "validation/constraints.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "validation_test_values.h"

namespace orvex::validation {
namespace {

using namespace test_values;

constexpr auto kAllowed = std::nullopt;
constexpr std::uint64_t kTwoTo53 = 9007199254740992u;

struct ConstraintCase {
  std::string name;
  std::vector<documents::Constraint> constraints;
  json::Object params;
  std::optional<std::string> expected;  // nullopt: allowed
};

void check(const std::vector<ConstraintCase>& cases) {
  for (const auto& c : cases) {
    const documents::ProposedAction action{c.params};
    EXPECT_EQ(Outcome(evaluate_constraints(IntentWith(c.constraints), action)), c.expected) << c.name;
  }
}

TEST(Constraints, AtMost) {
  check({
      {"above the bound", {C("amount", "<=", U(100))}, Members({{"amount", U(150)}}),
       "Constraint violation: amount <= Number(100)"},
      {"equal to the bound", {C("amount", "<=", U(150))}, Members({{"amount", U(150)}}), kAllowed},
      {"float bound keeps its form", {C("amount", "<=", F(100.0))}, Members({{"amount", F(100.5)}}),
       "Constraint violation: amount <= Number(100.0)"},
      {"negative bound", {C("t", "<=", N(-3))}, Members({{"t", N(-2)}}), "Constraint violation: t <= Number(-3)"},
      {"string parameter counts as zero", {C("amount", "<=", U(100))}, Members({{"amount", S("150")}}), kAllowed},
      {"null parameter counts as zero", {C("amount", "<=", U(0))}, Members({{"amount", Null()}}), kAllowed},
      {"true is not one", {C("flag", "<=", U(0))}, Members({{"flag", B(true)}}), kAllowed},
      {"string bound counts as -1", {C("amount", "<=", S("100"))}, Members({{"amount", U(0)}}),
       "Constraint violation: amount <= String(\"100\")"},
      {"string bound admits below -1", {C("amount", "<=", S("100"))}, Members({{"amount", N(-5)}}), kAllowed},
      {"string bound admits -1", {C("amount", "<=", S("100"))}, Members({{"amount", N(-1)}}), kAllowed},
      {"null bound counts as -1", {C("amount", "<=", Null())}, Members({{"amount", U(0)}}),
       "Constraint violation: amount <= Null"},
      {"precision lost above 2^53", {C("n", "<=", U(kTwoTo53))}, Members({{"n", U(kTwoTo53 + 1)}}), kAllowed},
  });
}

TEST(Constraints, AtLeast) {
  check({
      {"equal to the bound", {C("amount", ">=", U(150))}, Members({{"amount", U(150)}}), kAllowed},
      {"below the bound", {C("amount", ">=", U(200))}, Members({{"amount", U(150)}}),
       "Constraint violation: amount >= Number(200)"},
      {"string parameter counts as zero", {C("amount", ">=", U(1))}, Members({{"amount", S("150")}}),
       "Constraint violation: amount >= Number(1)"},
      {"string bound counts as zero", {C("amount", ">=", S("100"))}, Members({{"amount", U(0)}}), kAllowed},
      {"string bound refuses negatives", {C("amount", ">=", S("100"))}, Members({{"amount", N(-1)}}),
       "Constraint violation: amount >= String(\"100\")"},
      {"true is not one", {C("flag", ">=", U(1))}, Members({{"flag", B(true)}}),
       "Constraint violation: flag >= Number(1)"},
      {"array parameter counts as zero", {C("a", ">=", F(0.5))}, Members({{"a", A({U(9)})}}),
       "Constraint violation: a >= Number(0.5)"},
  });
}

TEST(Constraints, Equal) {
  check({
      {"same text", {C("region", "==", S("eu"))}, Members({{"region", S("eu")}}), kAllowed},
      {"letter case differs", {C("region", "==", S("eu"))}, Members({{"region", S("EU")}}),
       "Constraint violation: region == String(\"eu\")"},
      {"5 is not 5.0", {C("n", "==", F(5.0))}, Members({{"n", U(5)}}), "Constraint violation: n == Number(5.0)"},
      {"0.0 equals -0.0", {C("n", "==", F(-0.0))}, Members({{"n", F(0.0)}}), kAllowed},
      {"array order matters", {C("l", "==", A({U(2), U(1)}))}, Members({{"l", A({U(1), U(2)})}}),
       "Constraint violation: l == Array [Number(2), Number(1)]"},
      {"no membership test", {C("l", "==", A({U(1), U(2), U(3)}))}, Members({{"l", U(2)}}),
       "Constraint violation: l == Array [Number(1), Number(2), Number(3)]"},
      {"no prefix test", {C("l", "==", A({U(1), U(2), U(3)}))}, Members({{"l", A({U(1), U(2)})}}),
       "Constraint violation: l == Array [Number(1), Number(2), Number(3)]"},
      {"object member order does not matter", {C("o", "==", O({{"b", U(2)}, {"a", U(1)}}))},
       Members({{"o", O({{"a", U(1)}, {"b", U(2)}})}}), kAllowed},
      {"object shown in key order", {C("o", "==", O({{"b", U(2)}, {"a", U(1)}}))}, Members({{"o", O({})}}),
       "Constraint violation: o == Object {\"a\": Number(1), \"b\": Number(2)}"},
      {"integers stay exact above 2^53", {C("n", "==", U(kTwoTo53))}, Members({{"n", U(kTwoTo53 + 1)}}),
       "Constraint violation: n == Number(9007199254740992)"},
      {"null equals null", {C("n", "==", Null())}, Members({{"n", Null()}}), kAllowed},
  });
}

TEST(Constraints, MissingAttribute) {
  check({
      {"empty params", {C("amount", "<=", U(100))}, {}, "Missing required attribute: amount"},
      {"keys are exact", {C("Amount", "<=", U(100))}, Members({{"amount", U(1)}}),
       "Missing required attribute: Amount"},
      {"looked up before the operator", {C("amount", "<", U(100))}, {}, "Missing required attribute: amount"},
      {"empty attribute", {C("", "==", Null())}, Members({{"a", Null()}}), "Missing required attribute: "},
      {"empty attribute present", {C("", "==", Null())}, Members({{"", Null()}}), kAllowed},
  });
}

TEST(Constraints, UnsupportedOperators) {
  const json::Object params = Members({{"amount", U(1)}});
  check({
      {"less than", {C("amount", "<", U(100))}, params, "Unsupported operator: <"},
      {"greater than", {C("amount", ">", U(100))}, params, "Unsupported operator: >"},
      {"not equal", {C("amount", "!=", U(100))}, params, "Unsupported operator: !="},
      {"single equals", {C("amount", "=", U(100))}, params, "Unsupported operator: ="},
      {"empty", {C("amount", "", U(100))}, params, "Unsupported operator: "},
      {"reversed", {C("amount", "=<", U(100))}, params, "Unsupported operator: =<"},
      {"leading space", {C("amount", " <=", U(100))}, params, "Unsupported operator:  <="},
      {"trailing space", {C("amount", "== ", U(1))}, params, "Unsupported operator: == "},
  });
}

TEST(Constraints, DocumentOrderFirstDenialWins) {
  check({
      {"no constraints", {}, Members({{"amount", U(1)}}), kAllowed},
      {"missing before violated, whatever the priorities",
       {C("vendor", "==", S("v"), -100), C("amount", "<=", U(1), 100)}, Members({{"amount", U(5)}}),
       "Missing required attribute: vendor"},
      {"violated before missing", {C("amount", "<=", U(1), 100), C("vendor", "==", S("v"), -100)},
       Members({{"amount", U(5)}}), "Constraint violation: amount <= Number(1)"},
      {"later ones are not examined", {C("amount", "<=", U(1)), C("amount", "~", U(1))},
       Members({{"amount", U(5)}}), "Constraint violation: amount <= Number(1)"},
      {"all hold", {C("amount", "<=", U(10)), C("amount", ">=", U(1)), C("vendor", "==", S("v"))},
       Members({{"amount", U(5)}, {"vendor", S("v")}}), kAllowed},
  });
}

TEST(Constraints, SpendConstraintsAreSkipped) {
  check({
      {"only spend constraints", {C("total_daily_spend", "<=", U(0))}, {}, kAllowed},
      {"unsupported operator on spend is never reported", {C("total_daily_spend", "bogus", U(0))}, {}, kAllowed},
      {"spend skipped, ordinary judged", {C("total_daily_spend", "<", U(0)), C("amount", "<=", U(1))},
       Members({{"amount", U(2)}}), "Constraint violation: amount <= Number(1)"},
      {"case-different spend attribute is ordinary", {C("TOTAL_DAILY_SPEND", "<=", U(1))}, {},
       "Missing required attribute: TOTAL_DAILY_SPEND"},
      {"state key is not a parameter", {C("current_spend", "<=", U(1))}, {},
       "Missing required attribute: current_spend"},
  });
}

}  // namespace
}  // namespace orvex::validation
