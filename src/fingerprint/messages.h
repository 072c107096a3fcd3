// Fixed texts of the logic fingerprint.
#pragma once

namespace orvex::fingerprint::messages {

inline constexpr char kInvalidManifest[] = "Invalid ProjectManifest JSON: ";

}  // namespace orvex::fingerprint::messages
