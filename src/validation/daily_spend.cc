#include "validation/daily_spend.h"

#include <string>

#include "common/fill_message.h"
#include "validation/constraint_names.h"
#include "validation/denial_reasons.h"
#include "validation/numeric_value.h"
#include "validation/shortest_decimal.h"

namespace orvex::validation {
namespace {

// What a missing or non-numeric current spend, amount or limit counts as.
constexpr double kSpendDefault = 0.0;

}  // namespace

Verdict check_daily_spend(const documents::Intent& intent, const documents::ProposedAction& action,
                          const documents::State& state) {
  for (const documents::Constraint& constraint : intent.constraints) {
    if (constraint.attribute != constraint_names::kSpendAttribute) continue;
    const double current =
        numeric_value(json::find_member(state.values, constraint_names::kCurrentSpendKey), kSpendDefault);
    const double amount = numeric_value(json::find_member(action.params, constraint_names::kAmountKey), kSpendDefault);
    const double limit = numeric_value(&constraint.value, kSpendDefault);
    // One IEEE addition: 0.1 + 0.2 lands just above 0.3, 1e308 + 1e308 is inf.
    const double total = current + amount;
    if (total > limit) {
      std::string decimal;
      append_shortest_decimal(total, decimal);
      return Verdict::deny(fill_message(messages::kSpendViolation, {decimal}));
    }
  }
  return Verdict::allow();
}

}  // namespace orvex::validation
