// The properties every typed decoder must keep, whatever the document.
#pragma once

#include <string>
#include <string_view>

#include "common/result.h"
#include "document_oracle.h"
#include "expected_texts.h"
#include "json/reader.h"
#include "properties.h"

namespace orvex::fuzz {

// Syntax messages that the reader gives for values that a decoder only
// skips, and so may accept: nesting, magnitude and surrogate pairing are
// not checked in skipped values.
inline bool is_relaxed_in_skipped_values(std::string_view message) {
  return message == expected::kRecursionLimit || message == expected::kNumberOutOfRange ||
         message == expected::kLoneLeadingSurrogate || message == expected::kUnexpectedEndOfHexEscape;
}

// `decode` is the decoder under test (text -> Result<Doc>), `from_tree` the
// tree decoder (JsonValue -> optional<Doc>), `same` their equality.
template <class Decode, class FromTree, class Same>
void check_typed_decode(std::string_view text, const TypedVocabulary& words, Decode decode, FromTree from_tree,
                        Same same) {
  const auto decoded = decode(text);
  std::string_view decode_error;
  if (!decoded.ok()) {
    decode_error = decoded.failure().message;
    check_reading_error(text, place_error(text, decode_error), words);
  }

  // The streaming decoder and the tree decoder agree on every text that
  // reads as a tree.
  const Result<json::JsonValue> tree = json::read_json(text);
  if (tree.ok()) {
    const auto expected_doc = from_tree(tree.value());
    if (decoded.ok()) {
      ORVEX_FUZZ_REQUIRE(expected_doc.has_value(), text, "decoded, but the tree decoder refuses");
      ORVEX_FUZZ_REQUIRE(same(decoded.value(), *expected_doc), text, "decoded differently from the tree");
    } else {
      const PlacedError e = place_error(text, decode_error);
      ORVEX_FUZZ_REQUIRE(!is_syntax_message(e.message) || e.message == expected::kTrailingCharacters, text,
                         decode_error);
      ORVEX_FUZZ_REQUIRE(!expected_doc.has_value() || has_repeated_key(text), text, decode_error);
    }
  } else if (decoded.ok()) {
    const PlacedError e = place_error(text, tree.failure().message);
    ORVEX_FUZZ_REQUIRE(is_relaxed_in_skipped_values(e.message), text, tree.failure().message);
  }

  // A complete document followed by one more byte has trailing characters
  // at that byte.
  if (decoded.ok()) {
    std::string longer(text);
    longer += 'x';
    const auto refused = decode(longer);
    ORVEX_FUZZ_REQUIRE(!refused.ok(), longer, "accepted with a byte after the document");
    const PlacedError e = place_error(longer, refused.failure().message);
    ORVEX_FUZZ_REQUIRE(e.message == expected::kTrailingCharacters && e.offset == longer.size(), longer,
                       refused.failure().message);
  }
}

}  // namespace orvex::fuzz
