// The seed's digits decoded eight at a time, against a plain model that
// looks at one character at a time: every byte value at every place of a
// 64-digit seed, every byte's two digits in either case, and the one-digit
// decoder that names the first bad character.
#include "audit/seed_digits.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace orvex::audit {
namespace {

constexpr char kRfcSeed[] = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";

// The model: a digit's value by its character, or nothing.
std::optional<int> model_digit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// The model's seed for 64 characters, or nothing when one is not a digit.
std::optional<std::array<std::uint8_t, kSeedBytes>> model_seed(const std::string& digits) {
  std::array<std::uint8_t, kSeedBytes> seed{};
  for (std::size_t i = 0; i < kSeedBytes; ++i) {
    const std::optional<int> high = model_digit(static_cast<unsigned char>(digits[2 * i]));
    const std::optional<int> low = model_digit(static_cast<unsigned char>(digits[2 * i + 1]));
    if (!high || !low) return std::nullopt;
    seed[i] = static_cast<std::uint8_t>(*high * 16 + *low);
  }
  return seed;
}

std::optional<std::array<std::uint8_t, kSeedBytes>> decoded(const std::string& digits) {
  std::array<std::uint8_t, kSeedBytes> seed{};
  if (!decode_seed_digits(digits, seed)) return std::nullopt;
  return seed;
}

TEST(SeedDigits, EveryByteValueAtEveryPlaceAgreesWithTheModel) {
  for (const std::string base : {std::string(kRfcSeed), std::string(kSeedDigits, 'F'), std::string(kSeedDigits, '0')}) {
    for (std::size_t at = 0; at < kSeedDigits; ++at) {
      for (int byte = 0; byte < 256; ++byte) {
        std::string digits = base;
        digits[at] = static_cast<char>(byte);
        ASSERT_EQ(decoded(digits), model_seed(digits)) << "byte " << byte << " at " << at << " in " << base;
      }
    }
  }
}

TEST(SeedDigits, EveryByteFromItsTwoDigitsInEitherCaseAtEveryPlace) {
  constexpr char kLower[] = "0123456789abcdef";
  constexpr char kUpper[] = "0123456789ABCDEF";
  for (int byte = 0; byte < 256; ++byte) {
    for (std::size_t place = 0; place < kSeedBytes; ++place) {
      for (const char* digits_of : {kLower, kUpper}) {
        std::string digits(kSeedDigits, '0');
        digits[2 * place] = digits_of[byte >> 4];
        digits[2 * place + 1] = digits_of[byte & 0x0F];
        std::array<std::uint8_t, kSeedBytes> expected{};
        expected[place] = static_cast<std::uint8_t>(byte);
        ASSERT_EQ(decoded(digits), expected) << digits;
      }
    }
  }
}

TEST(SeedDigits, KnownSeedDecodes) {
  const std::array<std::uint8_t, kSeedBytes> expected = {
      0x9d, 0x61, 0xb1, 0x9d, 0xef, 0xfd, 0x5a, 0x60, 0xba, 0x84, 0x4a, 0xf4, 0x92, 0xec, 0x2c, 0xc4,
      0x44, 0x49, 0xc5, 0x69, 0x7b, 0x32, 0x69, 0x19, 0x70, 0x3b, 0xac, 0x03, 0x1c, 0xae, 0x7f, 0x60};
  EXPECT_EQ(decoded(kRfcSeed), expected);
}

TEST(SeedDigits, OneDigitValueAgreesWithTheModelForEveryByte) {
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(seed_digit_value(static_cast<std::uint8_t>(byte)), model_digit(static_cast<unsigned char>(byte)).value_or(-1))
        << "byte " << byte;
  }
}

}  // namespace
}  // namespace orvex::audit
