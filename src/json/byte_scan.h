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
// Eight bytes are judged at a time. In each test below, the lowest byte that
// is flagged is exactly the first special byte (a borrow only ever runs
// upwards from a byte that is itself special), so its index is the count of
// trailing zero bits over eight.
inline const char* find_string_special(const char* p, const char* end) {
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
  while (p != end && is_plain_string_byte(static_cast<unsigned char>(*p))) ++p;
  return p;
}

}  // namespace orvex::json
