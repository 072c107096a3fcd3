// The hexadecimal digits of ORVEX_SEED, decoded without branching on their
// values: they are the secret seed, so neither the time taken nor the path
// through the code may depend on which digits they are. This is why the
// seed is not decoded by the project's hex decoder (common/hex.h), which
// branches on every digit it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "audit/signing_key.h"

namespace orvex::audit {

inline constexpr std::size_t kSeedDigits = 2 * kSeedBytes;

// Decodes the seed's digits (either case, high digit first) into `seed`,
// eight digits at a time. Returns false when any byte is not a digit; the
// bytes in `seed` are then meaningless, and are wiped by the caller as on
// every path.
// REQUIRES: digits.size() == kSeedDigits.
[[nodiscard]] bool decode_seed_digits(std::string_view digits, std::span<std::uint8_t, kSeedBytes> seed);

// The value 0..15 of one digit of either case, or -1, computed with masks
// rather than branches. Used to find the first byte that is not a digit
// once a seed has failed to decode.
int seed_digit_value(std::uint8_t c);

}  // namespace orvex::audit
