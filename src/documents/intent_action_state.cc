#include "documents/intent_action_state.h"

#include <limits>

#include "documents/document_expectations.h"
#include "documents/struct_reader.h"
#include "json/writer.h"

namespace orvex::documents {
namespace {

constexpr std::string_view kIntentFields[] = {"id", "objective", "mode", "version", "constraints"};
constexpr std::string_view kConstraintFields[] = {"attribute", "operator", "value", "priority"};
constexpr std::string_view kActionFields[] = {"params"};
constexpr std::string_view kStateFields[] = {"values"};

constexpr std::size_t kExpectedConstraints = 8;
constexpr std::size_t kExpectedMapMembers = 8;

constexpr StructShape kIntentShape{kIntentFields, 5, messages::kIntent, messages::kIntentLength};
constexpr StructShape kConstraintShape{kConstraintFields, 4, messages::kConstraint, messages::kConstraintLength};
constexpr StructShape kActionShape{kActionFields, 1, messages::kProposedAction, messages::kProposedActionLength};
constexpr StructShape kStateShape{kStateFields, 1, messages::kState, messages::kStateLength};

// Any JSON value held as text: a string's content, or the compact text of
// anything else.
bool read_objective(json::Reader& r, FieldText& out) {
  r.skip_whitespace();
  if (!r.at_end() && r.peek() == '"') return read_field_string(r, out);
  json::JsonValue value;
  if (!r.read_value(value)) return false;
  out.decoded() = json::write_compact(value);
  return true;
}

// A JSON object whose members map keys to any values.
bool read_map(json::Reader& r, json::Object& out) {
  r.skip_whitespace();
  if (r.at_end()) return r.fail_here(json::messages::kEofWhileParsingValue);
  if (r.peek() != '{') return r.fail_invalid_type(messages::kExpectedMap);
  // An action's params and a state's values hold a handful of members:
  // one allocation instead of a regrowth at the 2nd, 3rd, 5th... Only the
  // document's own map is reserved for; nested objects grow as they must.
  out.reserve(kExpectedMapMembers);
  return r.read_object_members(out);
}

bool read_priority(json::Reader& r, std::int32_t& out) {
  json::Number number;
  if (!read_number_field(r, messages::kExpectedI32, number)) return false;
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  switch (number.kind) {
    case json::NumberKind::Unsigned:
      if (number.unsigned_value > static_cast<std::uint64_t>(kMax)) {
        return r.fail_invalid_value(json::JsonValue::number(number), messages::kExpectedI32);
      }
      out = static_cast<std::int32_t>(number.unsigned_value);
      return true;
    case json::NumberKind::Negative:
      if (number.negative_value < kMin) {
        return r.fail_invalid_value(json::JsonValue::number(number), messages::kExpectedI32);
      }
      out = static_cast<std::int32_t>(number.negative_value);
      return true;
    case json::NumberKind::Float:
      break;
  }
  return r.fail_wrong_type(json::JsonValue::number(number), messages::kExpectedI32);
}

bool read_constraint(json::Reader& r, Constraint& c) {
  return read_struct(r, kConstraintShape, [&](int field) {
    switch (field) {
      case 0: return read_text(r, c.attribute);
      case 1: return read_text(r, c.operator_text);
      case 2: return r.read_value(c.value);
      default: return read_priority(r, c.priority);
    }
  });
}

}  // namespace

Result<Intent> decode_intent(std::string_view text) {
  return read_document<Intent>(text, [](json::Reader& r, Intent& d) {
    return read_struct(r, kIntentShape, [&](int field) {
      switch (field) {
        case 0: return read_text(r, d.id);
        case 1: return read_objective(r, d.objective);
        case 2: return read_text(r, d.mode);
        case 3: return read_text(r, d.version);
        default:
          return read_sequence(r, [&] {
            // Intents hold a handful of constraints; spare the first regrowths.
            if (d.constraints.empty()) d.constraints.reserve(kExpectedConstraints);
            d.constraints.emplace_back();
            return read_constraint(r, d.constraints.back());
          });
      }
    });
  });
}

Result<ProposedAction> decode_action(std::string_view text) {
  return read_document<ProposedAction>(text, [](json::Reader& r, ProposedAction& d) {
    return read_struct(r, kActionShape, [&](int) { return read_map(r, d.params); });
  });
}

Result<State> decode_state(std::string_view text) {
  return read_document<State>(text, [](json::Reader& r, State& d) {
    return read_struct(r, kStateShape, [&](int) { return read_map(r, d.values); });
  });
}

}  // namespace orvex::documents
