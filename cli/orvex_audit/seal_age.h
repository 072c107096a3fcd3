// The age of a seal, from the time it states it was made.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvex::audit_tool {

// Seconds since 1970-01-01T00:00:00Z of an RFC 3339 time as the sealer
// writes it (YYYY-MM-DDTHH:MM:SS, an optional fraction, then Z or an offset
// +HH:MM or -HH:MM); the fraction is dropped. Nothing for other text.
std::optional<std::int64_t> rfc3339_seconds(std::string_view text);

// Now, in the same seconds.
std::int64_t seconds_now();

}  // namespace orvex::audit_tool
