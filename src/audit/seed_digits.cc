#include "audit/seed_digits.h"

#include <bit>
#include <cstring>

namespace orvex::audit {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = kOnes * 0x80;
constexpr std::size_t kDigitsPerWord = 8;

// Eight bytes as one word, the first byte lowest, whatever the machine's
// byte order.
std::uint64_t load_word(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Four bytes from one word, the lowest first, whatever the machine's byte
// order.
void store_four(std::uint32_t bytes, std::uint8_t* at) {
  if constexpr (std::endian::native == std::endian::big) bytes = __builtin_bswap32(bytes);
  std::memcpy(at, &bytes, sizeof bytes);
}

// 0x80 in every byte of `word` that lies in [low, high], 0 elsewhere.
// REQUIRES: no byte of `word` above 0x7F; low <= high < 0x80. Adding
// 0x80 - low sets a byte's top bit exactly when the byte is at least low,
// and adding 0x7F - high exactly when it is above high; no sum exceeds 0xFF,
// so nothing carries into the next byte.
constexpr std::uint64_t bytes_in_range(std::uint64_t word, unsigned low, unsigned high) {
  const std::uint64_t at_least_low = word + kOnes * (0x80 - low);
  const std::uint64_t above_high = word + kOnes * (0x7F - high);
  return at_least_low & ~above_high & kHighs;
}

// Decodes eight digits (the first in the lowest byte) into four bytes (the
// first lowest), and marks in `invalid` every byte that is not a digit.
std::uint32_t decode_eight(std::uint64_t word, std::uint64_t& invalid) {
  const std::uint64_t ascii = word & ~kHighs;
  const std::uint64_t lowered = ascii | (kOnes * 0x20);  // 'A'..'F' -> 'a'..'f'; digits keep their bit
  const std::uint64_t digit = bytes_in_range(ascii, '0', '9');
  const std::uint64_t letter = bytes_in_range(lowered, 'a', 'f');
  invalid |= (word & kHighs) | (~(digit | letter) & kHighs);
  // A digit's value is its low four bits; a letter's is its low four bits
  // plus 9 ('a' is 0x61).
  const std::uint64_t nibbles = (ascii & (kOnes * 0x0F)) + (letter >> 7) * 9;
  // Each pair of nibbles, high first, into the low byte of its 16-bit lane;
  // then the four lanes' low bytes side by side.
  std::uint64_t pairs = ((nibbles << 4) | (nibbles >> 8)) & 0x00FF00FF00FF00FFULL;
  pairs = (pairs | (pairs >> 8)) & 0x0000FFFF0000FFFFULL;
  return static_cast<std::uint32_t>(pairs | (pairs >> 16));
}

}  // namespace

bool decode_seed_digits(std::string_view digits, std::span<std::uint8_t, kSeedBytes> seed) {
  std::uint64_t invalid = 0;
  for (std::size_t word = 0; word < kSeedDigits / kDigitsPerWord; ++word) {
    store_four(decode_eight(load_word(digits.data() + word * kDigitsPerWord), invalid),
               seed.data() + word * kDigitsPerWord / 2);
  }
  return invalid == 0;
}

int seed_digit_value(std::uint8_t c) {
  const std::uint8_t num = c ^ 0x30u;                                  // '0'..'9' -> 0..9
  const std::uint8_t num_mask = static_cast<std::uint8_t>((num - 10u) >> 8);
  const std::uint8_t alpha = static_cast<std::uint8_t>((c & ~0x20u) - 55u);  // 'A'..'F', 'a'..'f' -> 10..15
  const std::uint8_t alpha_mask = static_cast<std::uint8_t>(((alpha - 10u) ^ (alpha - 16u)) >> 8);
  const int valid = (num_mask | alpha_mask) != 0;
  return valid ? ((num_mask & num) | (alpha_mask & alpha)) : -1;
}

}  // namespace orvex::audit
