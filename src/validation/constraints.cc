#include "validation/constraints.h"

#include <optional>
#include <string>
#include <string_view>

#include "common/fill_message.h"
#include "validation/constraint_names.h"
#include "validation/denial_reasons.h"
#include "validation/diagnostic_text.h"
#include "validation/json_equal.h"
#include "validation/numeric_value.h"

namespace orvex::validation {
namespace {

// Non-numeric sides of "<=" and ">=" count as these. The "<=" bound's
// default is below zero, so a non-numeric bound refuses a parameter of 0.
constexpr double kParameterDefault = 0.0;
constexpr double kAtMostBoundDefault = -1.0;
constexpr double kAtLeastBoundDefault = 0.0;

// Whether the constraint holds for `parameter`; nullopt for an operator
// outside the three.
std::optional<bool> constraint_holds(const documents::Constraint& constraint, const json::JsonValue& parameter) {
  const std::string_view op = constraint.operator_text;
  if (op == constraint_names::kAtMost) {
    return numeric_value(&parameter, kParameterDefault) <= numeric_value(&constraint.value, kAtMostBoundDefault);
  }
  if (op == constraint_names::kAtLeast) {
    return numeric_value(&parameter, kParameterDefault) >= numeric_value(&constraint.value, kAtLeastBoundDefault);
  }
  if (op == constraint_names::kEqual) return json_equal(parameter, constraint.value);
  return std::nullopt;
}

// The bound shown is the constraint's own value, never the parameter's.
std::string violation_reason(const documents::Constraint& constraint) {
  std::string bound;
  append_diagnostic_text(constraint.value, bound);
  return fill_message(messages::kConstraintViolation, {constraint.attribute, constraint.operator_text, bound});
}

}  // namespace

Verdict evaluate_constraints(const documents::Intent& intent, const documents::ProposedAction& action) {
  for (const documents::Constraint& constraint : intent.constraints) {
    // The spend rule has judged these already, whatever their operator.
    if (constraint.attribute == constraint_names::kSpendAttribute) continue;
    const json::JsonValue* parameter = json::find_member(action.params, constraint.attribute);
    if (parameter == nullptr) return Verdict::deny(fill_message(messages::kMissingAttribute, {constraint.attribute}));
    const std::optional<bool> holds = constraint_holds(constraint, *parameter);
    if (!holds) return Verdict::deny(fill_message(messages::kUnsupportedOperator, {constraint.operator_text}));
    if (!*holds) return Verdict::deny(violation_reason(constraint));
  }
  return Verdict::allow();
}

}  // namespace orvex::validation
