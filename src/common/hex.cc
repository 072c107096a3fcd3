#include "common/hex.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvex {

namespace {

// The two digits of every byte value, side by side.
constexpr std::array<char, 512> make_pairs() {
  constexpr char kDigits[] = "0123456789abcdef";
  std::array<char, 512> pairs{};
  for (int byte = 0; byte < 256; ++byte) {
    pairs[2 * byte] = kDigits[byte >> 4];
    pairs[2 * byte + 1] = kDigits[byte & 0x0F];
  }
  return pairs;
}
constexpr std::array<char, 512> kPairs = make_pairs();

// The value 0..15 of a digit, or -1.
int digit_value(char c, HexCase accepted) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (accepted == HexCase::Either && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

#if defined(__SSE2__)
// The sixteen digits (0..15) of a vector as lowercase characters: '0' plus
// the value, and 'a' - '0' - 10 more for the values above 9.
__m128i digit_characters(__m128i values) {
  const __m128i above_nine = _mm_cmpgt_epi8(values, _mm_set1_epi8(9));
  const __m128i characters = _mm_add_epi8(values, _mm_set1_epi8('0'));
  return _mm_add_epi8(characters, _mm_and_si128(above_nine, _mm_set1_epi8('a' - '0' - 10)));
}
#endif

}  // namespace

char* write_lowercase_hex(std::span<const std::uint8_t> bytes, char* out) {
  const std::uint8_t* in = bytes.data();
  const std::uint8_t* const end = in + bytes.size();
#if defined(__SSE2__)
  // Sixteen bytes at a time where every x86-64 has the vector instructions:
  // the high and the low four bits of each byte as characters, then
  // interleaved, high first, into the 32 digits.
  const __m128i low_bits = _mm_set1_epi8(0x0F);
  while (end - in >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = digit_characters(_mm_and_si128(_mm_srli_epi16(x, 4), low_bits));
    const __m128i low = digit_characters(_mm_and_si128(x, low_bits));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(high, low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi8(high, low));
    in += 16;
    out += 32;
  }
#endif
  for (; in != end; ++in) {
    const std::uint8_t byte = *in;
    *out++ = kPairs[2 * byte];
    *out++ = kPairs[2 * byte + 1];
  }
  return out;
}

void append_lowercase_hex(std::span<const std::uint8_t> bytes, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * bytes.size());
  write_lowercase_hex(bytes, out.data() + start);
}

std::string lowercase_hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  append_lowercase_hex(bytes, out);
  return out;
}

bool decode_hex(std::string_view text, HexCase accepted, std::span<std::uint8_t> out) {
  if (text.size() != 2 * out.size()) return false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int high = digit_value(text[2 * i], accepted);
    const int low = digit_value(text[2 * i + 1], accepted);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

}  // namespace orvex
