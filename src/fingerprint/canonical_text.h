// The canonical text of a manifest: every mod surface, then every weight
// table, each as "<name>:<fixed six-decimal number>;", in stable byte order
// of their names.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "documents/manifest.h"

namespace orvex::fingerprint {

// Feeds the canonical text to `sink` in pieces of bounded size, so that a
// huge manifest never needs its whole canonical text in memory at once.
// Sorts the manifest's own lists, which the caller owns for this one call:
// a manifest of millions of entries is not copied to be sorted.
void emit_canonical_text(documents::ProjectManifest& manifest, const std::function<void(std::string_view)>& sink);

// The whole canonical text at once (for tests and small manifests).
std::string canonical_text(documents::ProjectManifest manifest);

}  // namespace orvex::fingerprint
