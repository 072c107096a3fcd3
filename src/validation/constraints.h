// The intent's ordinary constraints, checked against the action's params.
#pragma once

#include "common/verdict.h"
#include "documents/intent_action_state.h"

namespace orvex::validation {

// Walks the constraints in document order (priority never reorders them),
// skipping "total_daily_spend" ones, which belong to the spend rule. The
// first constraint that fails denies, checked in this order: its attribute
// missing from params, then an operator other than "<=", ">=" and "==",
// then the comparison not holding. Never reads the state.
Verdict evaluate_constraints(const documents::Intent& intent, const documents::ProposedAction& action);

}  // namespace orvex::validation
