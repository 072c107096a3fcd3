// The byte scans that reading and writing spend most of their time in:
// finding the next byte that ends a run of string content written as it
// stands (no escape), and skipping whitespace.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvex::json {

// A byte that a JSON string carries as it is: not '"', not '\\', not a
// control character below 0x20.
inline bool is_unescaped_string_byte(unsigned char c) { return c != '"' && c != '\\' && c >= 0x20; }

// JSON's four whitespace bytes; all are at most ' ', so most bytes are
// judged by the first comparison.
inline bool is_json_whitespace(unsigned char c) {
  constexpr std::uint64_t kWhitespace = (std::uint64_t{1} << ' ') | (std::uint64_t{1} << '\n') |
                                        (std::uint64_t{1} << '\t') | (std::uint64_t{1} << '\r');
  return c <= ' ' && ((kWhitespace >> c) & 1) != 0;
}

// The first byte in [p, end) that is not whitespace, or end.
inline const char* skip_json_whitespace(const char* p, const char* end) {
  while (p != end && is_json_whitespace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// The first byte in [p, end) that a string cannot carry unescaped, or end.
// Sixteen bytes are judged at a time where the processor has the vector
// instructions every x86-64 has, then eight at a time in a 64-bit word. In
// the word test, the lowest byte that is flagged is exactly the first
// special byte (a borrow only ever runs upwards from a byte that is itself
// special), so its index is the count of trailing zero bits over eight.
inline const char* find_string_special(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i quote16 = _mm_set1_epi8('"');
  const __m128i backslash16 = _mm_set1_epi8('\\');
  // Unsigned c < 0x20 as a signed comparison: flipping the top bit maps
  // 0x00..0x1F onto the lowest signed values, below 0x20 flipped.
  const __m128i top_bit16 = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i control_limit16 = _mm_set1_epi8(static_cast<char>(0x20 ^ 0x80));
  while (end - p >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i special =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote16), _mm_cmpeq_epi8(x, backslash16)),
                     _mm_cmplt_epi8(_mm_xor_si128(x, top_bit16), control_limit16));
    const int flagged = _mm_movemask_epi8(special);
    if (flagged != 0) return p + __builtin_ctz(static_cast<unsigned>(flagged));
    p += 16;
  }
#endif
  // The word test reads the first byte as the lowest.
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    while (end - p >= 8) {
      std::uint64_t x;
      std::memcpy(&x, p, sizeof x);
      const std::uint64_t control = (x - kOnes * 0x20) & ~x & kHighs;
      const std::uint64_t q = x ^ (kOnes * '"');
      const std::uint64_t quote = (q - kOnes) & ~q & kHighs;
      const std::uint64_t b = x ^ (kOnes * '\\');
      const std::uint64_t backslash = (b - kOnes) & ~b & kHighs;
      const std::uint64_t flagged = control | quote | backslash;
      if (flagged != 0) return p + (__builtin_ctzll(flagged) >> 3);
      p += 8;
    }
  }
  while (p != end && is_unescaped_string_byte(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// The byte just past the closing quote of a string without escapes whose
// opening quote is at `open`; nullptr when the string holds an escape or a
// control character, or is not closed.
// REQUIRES: *open == '"'
inline const char* unescaped_string_end(const char* open, const char* end) {
  const char* close = find_string_special(open + 1, end);
  return close != end && *close == '"' ? close + 1 : nullptr;
}

}  // namespace orvex::json
