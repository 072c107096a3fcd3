#include "validation/daily_spend.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "validation_test_values.h"

namespace orvex::validation {
namespace {

using namespace test_values;

constexpr auto kAllowed = std::nullopt;

struct SpendCase {
  std::string name;
  std::vector<documents::Constraint> constraints;
  json::Object params;
  json::Object values;
  std::optional<std::string> expected;  // nullopt: allowed
};

documents::Constraint Limit(JsonValue limit, std::string op = "<=") {
  return C("total_daily_spend", std::move(op), std::move(limit));
}

void check(const std::vector<SpendCase>& cases) {
  for (const auto& c : cases) {
    const documents::ProposedAction action{c.params};
    const documents::State state{c.values};
    EXPECT_EQ(Outcome(check_daily_spend(IntentWith(c.constraints), action, state)), c.expected) << c.name;
  }
}

TEST(DailySpend, TotalAgainstLimit) {
  check({
      {"total equal to the limit passes", {Limit(U(100))}, Members({{"amount", U(60)}}),
       Members({{"current_spend", U(40)}}), kAllowed},
      {"fraction above the limit", {Limit(U(100))}, Members({{"amount", U(60)}}),
       Members({{"current_spend", F(40.5)}}), "Dynamic Violation: Total spend would reach 100.5"},
      {"integers show no point", {Limit(U(120))}, Members({{"amount", U(50)}}),
       Members({{"current_spend", U(100)}}), "Dynamic Violation: Total spend would reach 150"},
      {"one IEEE addition", {Limit(F(0.3))}, Members({{"amount", F(0.2)}}), Members({{"current_spend", F(0.1)}}),
       "Dynamic Violation: Total spend would reach 0.30000000000000004"},
      {"overflow to infinity", {Limit(F(1.7976931348623157e308))}, Members({{"amount", F(1e308)}}),
       Members({{"current_spend", F(1e308)}}), "Dynamic Violation: Total spend would reach inf"},
      {"large total in full", {Limit(U(0))}, Members({{"amount", F(1e21)}}), {},
       "Dynamic Violation: Total spend would reach 1000000000000000000000"},
      {"small total without exponent", {Limit(U(0))}, Members({{"amount", F(0.000001)}}), {},
       "Dynamic Violation: Total spend would reach 0.000001"},
      {"negative total", {Limit(N(-10))}, Members({{"amount", N(-3)}}), Members({{"current_spend", F(-2.5)}}),
       "Dynamic Violation: Total spend would reach -5.5"},
  });
}

TEST(DailySpend, MissingOrNonNumericInputsCountAsZero) {
  check({
      {"nothing to add, limit zero", {Limit(U(0))}, {}, {}, kAllowed},
      {"nothing to add, negative limit", {Limit(N(-1))}, {}, {}, "Dynamic Violation: Total spend would reach 0"},
      {"string limit", {Limit(S("500"))}, Members({{"amount", U(1)}}), {},
       "Dynamic Violation: Total spend would reach 1"},
      {"null limit", {Limit(Null())}, Members({{"amount", U(1)}}), {},
       "Dynamic Violation: Total spend would reach 1"},
      {"boolean limit", {Limit(B(true))}, Members({{"amount", U(1)}}), {},
       "Dynamic Violation: Total spend would reach 1"},
      {"non-numeric limit, zero total", {Limit(S("500"))}, {}, {}, kAllowed},
      {"string amount", {Limit(U(100))}, Members({{"amount", S("20")}}), Members({{"current_spend", U(90)}}),
       kAllowed},
      {"string current spend", {Limit(U(10))}, Members({{"amount", U(20)}}), Members({{"current_spend", S("90")}}),
       "Dynamic Violation: Total spend would reach 20"},
      {"keys are exact", {Limit(U(10))}, Members({{"Amount", U(50)}}), Members({{"current_spend ", U(50)}}),
       kAllowed},
  });
}

TEST(DailySpend, EachInputFromItsOwnDocument) {
  check({
      {"current spend among params is not read", {Limit(U(10))}, Members({{"current_spend", U(50)}}), {}, kAllowed},
      {"amount among state values is not read", {Limit(U(10))}, {}, Members({{"amount", U(50)}}), kAllowed},
  });
}

TEST(DailySpend, OnlyTheSpendAttributeCounts) {
  check({
      {"no constraints", {}, Members({{"amount", U(999)}}), {}, kAllowed},
      {"ordinary constraints are not judged here", {C("amount", "<=", U(1)), C("x", "?", Null())},
       Members({{"amount", U(999)}}), {}, kAllowed},
      {"letter case differs", {C("Total_daily_spend", "<=", U(1))}, Members({{"amount", U(999)}}), {}, kAllowed},
      {"trailing space", {C("total_daily_spend ", "<=", U(1))}, Members({{"amount", U(999)}}), {}, kAllowed},
  });
}

TEST(DailySpend, OperatorAndPriorityAreIgnored) {
  check({
      {"at least behaves as at most", {Limit(U(100), ">=")}, Members({{"amount", U(150)}}), {},
       "Dynamic Violation: Total spend would reach 150"},
      {"unknown operator", {Limit(U(100), "bogus")}, Members({{"amount", U(150)}}), {},
       "Dynamic Violation: Total spend would reach 150"},
      {"empty operator within limit", {Limit(U(200), "")}, Members({{"amount", U(150)}}), {}, kAllowed},
      {"priority does not matter", {C("total_daily_spend", "==", U(100), -5)}, Members({{"amount", U(150)}}), {},
       "Dynamic Violation: Total spend would reach 150"},
  });
}

TEST(DailySpend, SeveralLimitsInDocumentOrder) {
  check({
      {"second limit denies, total shown", {Limit(U(500)), Limit(U(100))}, Members({{"amount", U(150)}}),
       Members({{"current_spend", U(50)}}), "Dynamic Violation: Total spend would reach 200"},
      {"all limits pass", {Limit(U(500)), Limit(U(200))}, Members({{"amount", U(150)}}),
       Members({{"current_spend", U(50)}}), kAllowed},
      {"ordinary constraint before spend one", {C("amount", "<=", U(1)), Limit(U(10))}, {},
       Members({{"current_spend", U(20)}}), "Dynamic Violation: Total spend would reach 20"},
  });
}

}  // namespace
}  // namespace orvex::validation
