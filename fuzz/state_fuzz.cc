// The State decoder: placed, well-worded errors, agreement with a
// decoder working on the generic tree, and nothing accepted after the
// document.
#include <cstddef>
#include <cstdint>

#include "document_check.h"
#include "document_oracle.h"
#include "documents/intent_action_state.h"

namespace {

const orvex::fuzz::TypedVocabulary kStateWords{
    {"struct State", "a map"},
    {"struct State with 1 element"},
    {"values"},
};

std::optional<orvex::json::Object> from_tree(const orvex::json::JsonValue& tree) {
  return orvex::fuzz::map_document_from_tree(tree, "values");
}

bool same(const orvex::documents::State& decoded, const orvex::json::Object& expected) {
  return orvex::fuzz::same_object(decoded.values, expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvex::fuzz::check_typed_decode(orvex::fuzz::as_text(data, size), kStateWords, orvex::documents::decode_state,
                                  from_tree, same);
  return 0;
}
