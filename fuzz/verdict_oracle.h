// The decision of validate_intent_json recomputed from decoded documents by
// the rules alone, for the validate target to compare with.
#pragma once

#include <string>

#include "documents/intent_action_state.h"

namespace orvex::fuzz {

struct ExpectedVerdict {
  bool allowed = true;
  // The reason's exact text when it is fixed by the documents alone; for a
  // constraint violation only its head up to the bound ("Constraint
  // violation: amount <= "), and for a spend denial only its prefix.
  std::string reason_head;
  // For a spend denial: the total that the reason must spell.
  double total = 0.0;
  bool reason_is_spend = false;
  bool reason_is_violation = false;
};

ExpectedVerdict expected_verdict(const documents::Intent& intent, const documents::ProposedAction& action,
                                 const documents::State& state);

}  // namespace orvex::fuzz
