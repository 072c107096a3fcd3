// The intent decoder: placed, well-worded errors, agreement with a decoder
// working on the generic tree, and nothing accepted after the document.
#include <cstddef>
#include <cstdint>

#include "document_check.h"
#include "document_oracle.h"
#include "documents/intent_action_state.h"

namespace {

const orvex::fuzz::TypedVocabulary kIntentWords{
    {"struct Intent", "struct Constraint", "a string", "a sequence", "i32"},
    {"struct Intent with 5 elements", "struct Constraint with 4 elements"},
    {"id", "objective", "mode", "version", "constraints", "attribute", "operator", "value", "priority"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvex::fuzz::check_typed_decode(orvex::fuzz::as_text(data, size), kIntentWords, orvex::documents::decode_intent,
                                  orvex::fuzz::intent_from_tree, orvex::fuzz::same_intent);
  return 0;
}
