// The daily spend rule: the spend so far plus the action's amount must not
// exceed the limit of any "total_daily_spend" constraint.
#pragma once

#include "common/verdict.h"
#include "documents/intent_action_state.h"

namespace orvex::validation {

// Walks the spend constraints in document order (their operator and
// priority are ignored) and denies at the first whose limit the total
// exceeds, showing the total. Current spend (the state's "current_spend"),
// amount (the action's "amount") and limit (the constraint's value) each
// count as 0.0 when absent or not a number. Never fails otherwise.
Verdict check_daily_spend(const documents::Intent& intent, const documents::ProposedAction& action,
                          const documents::State& state);

}  // namespace orvex::validation
