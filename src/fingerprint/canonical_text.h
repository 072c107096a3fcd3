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
// The lists are not changed: their order is kept as indices beside them,
// so a manifest of millions of entries is not copied to be sorted.
void emit_canonical_text(const documents::ProjectManifest& manifest,
                         const std::function<void(std::string_view)>& sink);

// The whole canonical text at once, for the tests and the phase benchmark;
// the fingerprint itself streams it.
std::string canonical_text(const documents::ProjectManifest& manifest);

}  // namespace orvex::fingerprint
