// Short builders for the JSON values and documents that the validation
// tests construct directly, without going through the reader.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/verdict.h"
#include "documents/intent_action_state.h"
#include "json/value.h"

namespace orvex::validation::test_values {

using json::JsonValue;

inline JsonValue Null() { return JsonValue(); }
inline JsonValue B(bool b) { return JsonValue::boolean(b); }
inline JsonValue U(std::uint64_t u) { return JsonValue::unsigned_integer(u); }
inline JsonValue N(std::int64_t n) { return JsonValue::negative_integer(n); }
inline JsonValue F(double d) { return JsonValue::floating(d); }
inline JsonValue S(std::string s) { return JsonValue::string(std::move(s)); }
inline JsonValue A(std::initializer_list<JsonValue> elements) { return JsonValue::array(json::Array(elements)); }

// Members in the order written; sorted (the later of a repeated key
// winning) exactly as the reader would hold them.
inline json::Object Members(std::initializer_list<std::pair<std::string, JsonValue>> written) {
  std::vector<json::Member> members;
  for (const auto& [key, value] : written) members.push_back(json::Member{key, value});
  return json::make_object(std::move(members));
}
inline JsonValue O(std::initializer_list<std::pair<std::string, JsonValue>> written) {
  return JsonValue::object(Members(written));
}

inline documents::Constraint C(std::string attribute, std::string op, JsonValue value, std::int32_t priority = 0) {
  return documents::Constraint{std::move(attribute), std::move(op), std::move(value), priority};
}

inline documents::Intent IntentWith(std::vector<documents::Constraint> constraints) {
  return documents::Intent{"i-1", "Cut costs", "strict", "1.0", std::move(constraints)};
}

// A verdict as one comparable value: nullopt when allowed, else the reason.
inline std::optional<std::string> Outcome(const Verdict& verdict) {
  if (verdict.allowed) return std::nullopt;
  return verdict.reason;
}

}  // namespace orvex::validation::test_values
