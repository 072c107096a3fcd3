// The three documents that validate_intent_json receives, decoded in one
// pass on the JSON reader. Decoding is all-or-nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "documents/field_text.h"
#include "json/value.h"

namespace orvex::documents {

// The strings below view the intent's text (see documents/field_text.h):
// a decoded Intent lives no longer than the text it was read from.
struct Constraint {
  FieldText attribute;
  FieldText operator_text;
  json::JsonValue value;  // exactly as read: number kind, key order and all
  std::int32_t priority = 0;
};

struct Intent {
  FieldText id;
  // The content of a string objective; for any other JSON value its compact text.
  FieldText objective;
  FieldText mode;
  FieldText version;
  std::vector<Constraint> constraints;  // document order
};

struct ProposedAction {
  json::Object params;  // ascending key order; look up with json::find_member
};

struct State {
  json::Object values;
};

// Each returns the document, or a failure whose message is the reading
// error's text: "<message> at line L column C". REQUIRES: `text` outlives
// the returned Intent, whose strings may view it.
Result<Intent> decode_intent(std::string_view text);
Result<ProposedAction> decode_action(std::string_view text);
Result<State> decode_state(std::string_view text);

}  // namespace orvex::documents
