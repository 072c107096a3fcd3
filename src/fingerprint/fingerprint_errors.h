// Every fixed text of the logic fingerprint.
#pragma once

#include <string_view>

namespace orvex::fingerprint::messages {

// The manifest reader's error text, with its position.
inline constexpr std::string_view kInvalidManifest = "Invalid ProjectManifest JSON: {}";

}  // namespace orvex::fingerprint::messages
