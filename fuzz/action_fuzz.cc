// The ProposedAction decoder: placed, well-worded errors, agreement with a
// decoder working on the generic tree, and nothing accepted after the
// document.
#include <cstddef>
#include <cstdint>

#include "document_check.h"
#include "document_oracle.h"
#include "documents/intent_action_state.h"

namespace {

const orvex::fuzz::TypedVocabulary kProposedActionWords{
    {"struct ProposedAction", "a map"},
    {"struct ProposedAction with 1 element"},
    {"params"},
};

std::optional<orvex::json::Object> from_tree(const orvex::json::JsonValue& tree) {
  return orvex::fuzz::map_document_from_tree(tree, "params");
}

bool same(const orvex::documents::ProposedAction& decoded, const orvex::json::Object& expected) {
  return orvex::fuzz::same_object(decoded.params, expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvex::fuzz::check_typed_decode(orvex::fuzz::as_text(data, size), kProposedActionWords, orvex::documents::decode_action,
                                  from_tree, same);
  return 0;
}
