// A second, deliberately simple decoder of the typed documents: it works
// on the generic tree that read_json builds, by the field rules alone. The
// streaming decoders must agree with it whenever the text reads as a tree.
//
// The tree cannot show a key written twice (the later member wins), so a
// text with a repeated key is the one place where the two may disagree: the
// streaming decoder refuses a repeated field, or the earlier member's value.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "documents/manifest.h"
#include "documents/intent_action_state.h"
#include "json/value.h"

namespace orvex::fuzz {

std::optional<documents::Intent> intent_from_tree(const json::JsonValue& tree);
// A ProposedAction or a State: a struct with one map field named `field`.
std::optional<json::Object> map_document_from_tree(const json::JsonValue& tree, std::string_view field);

// A manifest in owned values, whatever the decoder holds: a named
// number is a mod surface or a weight table.
struct NamedNumber {
  std::string name;
  double number = 0.0;
};
struct OwnedManifest {
  std::vector<NamedNumber> mod_surfaces;
  std::vector<NamedNumber> weight_tables;
};
std::optional<OwnedManifest> manifest_from_tree(const json::JsonValue& tree);
OwnedManifest owned_manifest(const documents::ProjectManifest& decoded);

// Whether some object of `text` names a key twice (after unescaping).
// REQUIRES: `text` reads as one JSON value.
bool has_repeated_key(std::string_view text);

// Equality of decoded documents, values compared by their compact texts
// and numbers by their bits.
bool same_intent(const documents::Intent& a, const documents::Intent& b);
bool same_manifest(const documents::ProjectManifest& decoded, const OwnedManifest& expected);
bool same_object(const json::Object& a, const json::Object& b);

}  // namespace orvex::fuzz
