// The scan that both the reader and the writer spend their string time in:
// finding the next byte that ends a run of plain string content.
#pragma once

#include <cstdint>
#include <cstring>

namespace orvex::json {

// A byte that a JSON string carries as it is: not '"', not '\\', not a
// control character below 0x20.
inline bool is_plain_string_byte(unsigned char c) { return c != '"' && c != '\\' && c >= 0x20; }

// The first byte in [p, end) that is not plain string content, or end.
// Eight bytes are judged at a time while none of them needs a look of its own.
inline const char* find_string_special(const char* p, const char* end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  while (end - p >= 8) {
    std::uint64_t x;
    std::memcpy(&x, p, sizeof x);
    // Each term is non-zero when some byte is below 0x20, or equal to the quote
    // or to the backslash.
    const std::uint64_t control = (x - kOnes * 0x20) & ~x & kHighs;
    const std::uint64_t q = x ^ (kOnes * '"');
    const std::uint64_t quote = (q - kOnes) & ~q & kHighs;
    const std::uint64_t b = x ^ (kOnes * '\\');
    const std::uint64_t backslash = (b - kOnes) & ~b & kHighs;
    if ((control | quote | backslash) != 0) break;
    p += 8;
  }
  while (p != end && is_plain_string_byte(static_cast<unsigned char>(*p))) ++p;
  return p;
}

}  // namespace orvex::json
