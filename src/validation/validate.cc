#include "validation/validate.h"

#include <string>
#include <utility>

#include "audit/audit_record.h"
#include "common/fill_message.h"
#include "common/verdict.h"
#include "documents/intent_action_state.h"
#include "validation/constraints.h"
#include "validation/daily_spend.h"
#include "validation/denial_reasons.h"

namespace orvex::validation {
namespace {

// A reading error of one document, named by the document it came from.
Failure unreadable(std::string_view text, const Failure& reading_error) {
  return Failure::ordinary(fill_message(text, {reading_error.message}));
}

}  // namespace

Result<bool> validate_intent_json(std::string_view intent_json, std::string_view action_json,
                                  std::string_view state_json) {
  // Decoded one after the other, so only the first malformed document is
  // reported; nothing is recorded for a call that ends here. The intent's
  // strings view intent_json, so the documents end with this call.
  const Result<documents::Intent> intent = documents::decode_intent(intent_json);
  if (!intent.ok()) return unreadable(messages::kInvalidIntent, intent.failure());
  const Result<documents::ProposedAction> action = documents::decode_action(action_json);
  if (!action.ok()) return unreadable(messages::kInvalidAction, action.failure());
  const Result<documents::State> state = documents::decode_state(state_json);
  if (!state.ok()) return unreadable(messages::kInvalidState, state.failure());

  // The spend rule comes first, so its denial wins over any ordinary one.
  Verdict verdict = check_daily_spend(intent.value(), action.value(), state.value());
  if (verdict.allowed) verdict = evaluate_constraints(intent.value(), action.value());

  // Recorded before the caller learns it; without a signing key the
  // decision is reported to nobody.
  Result<Unit> recorded = audit::append_audit_record(intent.value(), action.value(), verdict);
  if (!recorded.ok()) return std::move(recorded).failure();

  if (verdict.allowed) return true;
  return Failure::ordinary(std::move(verdict.reason));
}

}  // namespace orvex::validation
