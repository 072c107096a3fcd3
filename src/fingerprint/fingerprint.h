// The logic fingerprint of a project manifest.
#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace orvex::fingerprint {

// 64 lowercase hex digits of SHA-256 over the manifest's canonical text, or
// the failure "Invalid ProjectManifest JSON: {}".
Result<std::string> generate_logic_fingerprint(std::string_view manifest_json);

// True when the fingerprint equals `expected` byte for byte.
Result<bool> verify_logic_fingerprint(std::string_view manifest_json, std::string_view expected);

}  // namespace orvex::fingerprint
