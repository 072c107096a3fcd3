#include "verdict_oracle.h"

#include "expected_texts.h"

namespace orvex::fuzz {
namespace {

using json::JsonValue;
using json::NumberKind;
using json::Type;

double as_double(const JsonValue* v, double fallback) {
  if (v == nullptr || v->type() != Type::Number) return fallback;
  switch (v->number_kind()) {
    case NumberKind::Unsigned: return static_cast<double>(v->as_unsigned());
    case NumberKind::Negative: return static_cast<double>(v->as_negative());
    case NumberKind::Float: return v->as_float();
  }
  return fallback;
}

bool equal(const JsonValue& a, const JsonValue& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Type::Null: return true;
    case Type::Boolean: return a.as_bool() == b.as_bool();
    case Type::String: return a.as_string() == b.as_string();
    case Type::Number:
      if (a.number_kind() != b.number_kind()) return false;
      if (a.number_kind() == NumberKind::Unsigned) return a.as_unsigned() == b.as_unsigned();
      if (a.number_kind() == NumberKind::Negative) return a.as_negative() == b.as_negative();
      return a.as_float() == b.as_float();
    case Type::Array:
      if (a.as_array().size() != b.as_array().size()) return false;
      for (std::size_t i = 0; i < a.as_array().size(); ++i) {
        if (!equal(a.as_array()[i], b.as_array()[i])) return false;
      }
      return true;
    case Type::Object:
      if (a.as_object().size() != b.as_object().size()) return false;
      for (const json::Member& m : a.as_object()) {
        const JsonValue* other = json::find_member(b.as_object(), m.key);
        if (other == nullptr || !equal(m.value, *other)) return false;
      }
      return true;
  }
  return false;
}

ExpectedVerdict deny(std::string_view head, std::string_view detail) {
  ExpectedVerdict v;
  v.allowed = false;
  v.reason_head = std::string(head) + std::string(detail);
  return v;
}

}  // namespace

ExpectedVerdict expected_verdict(const documents::Intent& intent, const documents::ProposedAction& action,
                                 const documents::State& state) {
  for (const documents::Constraint& c : intent.constraints) {
    if (c.attribute != expected::kSpendAttribute) continue;
    const double total = as_double(json::find_member(state.values, "current_spend"), 0.0) +
                         as_double(json::find_member(action.params, "amount"), 0.0);
    if (total > as_double(&c.value, 0.0)) {
      ExpectedVerdict v = deny(expected::kSpendViolation, "");
      v.total = total;
      v.reason_is_spend = true;
      return v;
    }
  }
  for (const documents::Constraint& c : intent.constraints) {
    if (c.attribute == expected::kSpendAttribute) continue;
    const JsonValue* parameter = json::find_member(action.params, c.attribute);
    if (parameter == nullptr) return deny(expected::kMissingAttribute, c.attribute);
    bool holds = false;
    if (c.operator_text == "<=") {
      holds = as_double(parameter, 0.0) <= as_double(&c.value, -1.0);
    } else if (c.operator_text == ">=") {
      holds = as_double(parameter, 0.0) >= as_double(&c.value, 0.0);
    } else if (c.operator_text == "==") {
      holds = equal(*parameter, c.value);
    } else {
      return deny(expected::kUnsupportedOperator, c.operator_text);
    }
    if (!holds) {
      ExpectedVerdict v = deny(expected::kConstraintViolation,
                                std::string(c.attribute.view()) + " " + std::string(c.operator_text.view()) + " ");
      v.reason_is_violation = true;
      return v;
    }
  }
  return ExpectedVerdict{};
}

}  // namespace orvex::fuzz
