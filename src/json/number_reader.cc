// Numbers: the grammar, the three kinds, and the scaling of a decimal
// significand and exponent into a double.
//
// The scaling is deliberately not the correctly rounded conversion: values
// read here are written back out and enter fingerprints, so the exact
// procedure below is part of the interface.
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "json/eight_digits.h"
#include "json/json_errors.h"
#include "json/pow10_table.h"
#include "json/reader.h"

namespace orvex::json {
namespace {

constexpr std::uint64_t kU64Max = std::numeric_limits<std::uint64_t>::max();
constexpr std::int32_t kI32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kI32Min = std::numeric_limits<std::int32_t>::min();

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// A significand of at most this many digits is below 10^19 and so fits in
// 64 bits without a check per digit.
constexpr int kDigitsThatAlwaysFit = 19;

// Takes up to `room` digits from [p, end) into `significand`, eight at a
// time where it can; the caller guarantees that `room` more digits fit.
// Returns the first byte not taken. Inlined, so that the significand stays
// in a register.
[[gnu::always_inline]] inline const char* take_digits(const char* p, const char* end, int room,
                                                      std::uint64_t& significand) {
  // The word tests read the first byte as the lowest.
  if constexpr (kEightDigitWords) {
    while (room >= 8 && end - p >= 8) {
      std::uint64_t v;
      std::memcpy(&v, p, sizeof v);
      if (!is_eight_digits(v)) break;
      significand = significand * 100000000 + eight_digits_value(v);
      p += 8;
      room -= 8;
    }
  }
  while (room > 0 && p != end && is_digit(static_cast<unsigned char>(*p))) {
    significand = significand * 10 + static_cast<unsigned>(*p - '0');
    ++p;
    --room;
  }
  return p;
}

// significand * 10 + digit stays within 64 bits.
bool fits(std::uint64_t significand, unsigned digit) {
  return significand < kU64Max / 10 || (significand == kU64Max / 10 && digit <= kU64Max % 10);
}

std::int32_t saturating_add(std::int32_t a, std::int64_t b) {
  std::int64_t sum = static_cast<std::int64_t>(a) + b;
  if (sum > kI32Max) return kI32Max;
  if (sum < kI32Min) return kI32Min;
  return static_cast<std::int32_t>(sum);
}

// Returns false when the value overflows the double range.
bool scale(std::uint64_t significand, std::int32_t exponent, double& out) {
  double f = static_cast<double>(significand);  // nearest, ties to even
  std::int64_t e = exponent;
  while (e < -kMaxPow10 || e > kMaxPow10) {
    if (f == 0.0) {
      out = f;
      return true;
    }
    if (e > 0) return false;
    f /= 1e308;
    e += 308;
  }
  if (e >= 0) {
    f *= kPow10[e];
    if (f == std::numeric_limits<double>::infinity()) return false;
  } else {
    f /= kPow10[-e];
  }
  out = f;
  return true;
}

}  // namespace

bool Reader::read_number(Number& out) {
  bool negative = false;
  if (peek() == '-') {
    negative = true;
    advance();
    if (at_end()) return fail_here(messages::kEofWhileParsingValue);
  }

  std::uint64_t significand = 0;
  std::int32_t exponent = 0;
  bool integer_overflow = false;

  // Digits in the significand so far; while they are few, no check per
  // digit is needed.
  int digits = 0;
  unsigned char first = peek();
  advance();
  if (first == '0') {
    if (!at_end() && is_digit(peek())) return fail_peeked(messages::kInvalidNumber);
  } else if (first >= '1' && first <= '9') {
    significand = first - '0';
    const char* start = cur_;
    cur_ = take_digits(cur_, end_, kDigitsThatAlwaysFit - 1, significand);
    digits = 1 + static_cast<int>(cur_ - start);
    while (!at_end() && is_digit(peek())) {
      const unsigned digit = peek() - '0';
      if (!fits(significand, digit)) break;
      significand = significand * 10 + digit;
      advance();
    }
    // Integer digits beyond 64 bits are not added; each raises the exponent.
    std::int64_t dropped = 0;
    while (!at_end() && is_digit(peek())) {
      ++dropped;
      advance();
    }
    if (dropped > 0) {
      integer_overflow = true;
      exponent = saturating_add(exponent, dropped);
    }
  } else {
    return fail_here(messages::kInvalidNumber);
  }

  bool is_float = integer_overflow;
  if (!at_end() && peek() == '.') {
    is_float = true;
    advance();
    if (at_end()) return fail_here(messages::kEofWhileParsingValue);
    if (!is_digit(peek())) return fail_peeked(messages::kInvalidNumber);
    // Digits taken into the significand, each lowering the exponent; once
    // one does not fit, it and all after it are dropped.
    const char* start = cur_;
    cur_ = take_digits(cur_, end_, kDigitsThatAlwaysFit - digits, significand);
    std::int64_t taken = cur_ - start;
    while (!at_end() && is_digit(peek())) {
      const unsigned digit = peek() - '0';
      if (!fits(significand, digit)) break;
      significand = significand * 10 + digit;
      ++taken;
      advance();
    }
    while (!at_end() && is_digit(peek())) advance();
    exponent = saturating_add(exponent, -taken);
  }

  if (!at_end() && (peek() == 'e' || peek() == 'E')) {
    is_float = true;
    advance();
    bool exponent_negative = false;
    if (!at_end() && (peek() == '+' || peek() == '-')) {
      exponent_negative = peek() == '-';
      advance();
    }
    if (at_end()) return fail_here(messages::kEofWhileParsingValue);
    unsigned char c = peek();
    advance();
    if (!is_digit(c)) return fail_here(messages::kInvalidNumber);
    std::int32_t explicit_exponent = c - '0';
    bool zeroed = false;
    while (!at_end() && is_digit(peek())) {
      unsigned digit = peek() - '0';
      advance();
      if (explicit_exponent > (kI32Max - static_cast<std::int32_t>(digit)) / 10) {
        if (!exponent_negative && significand != 0) return fail_here(messages::kNumberOutOfRange);
        while (!at_end() && is_digit(peek())) advance();
        zeroed = true;
        break;
      }
      explicit_exponent = explicit_exponent * 10 + static_cast<std::int32_t>(digit);
    }
    if (zeroed) {
      out = Number::floating(negative ? -0.0 : 0.0);
      return true;
    }
    exponent = saturating_add(exponent, exponent_negative ? -static_cast<std::int64_t>(explicit_exponent)
                                                          : static_cast<std::int64_t>(explicit_exponent));
  }

  if (!is_float) {
    if (!negative) {
      out = Number::unsigned_integer(significand);
      return true;
    }
    constexpr std::uint64_t kMostNegativeMagnitude = std::uint64_t{1} << 63;
    if (significand >= 1 && significand <= kMostNegativeMagnitude) {
      out = Number::negative_integer(static_cast<std::int64_t>(0 - significand));
      return true;
    }
  }

  double magnitude = 0.0;
  if (!scale(significand, exponent, magnitude)) return fail_here(messages::kNumberOutOfRange);
  out = Number::floating(negative ? -magnitude : magnitude);
  return true;
}

bool Reader::skip_number() {
  if (peek() == '-') advance();
  // A number cut short by the end of the text is an invalid number here.
  if (at_end()) return fail_here(messages::kInvalidNumber);
  unsigned char first = peek();
  advance();
  if (first == '0') {
    if (!at_end() && is_digit(peek())) return fail_peeked(messages::kInvalidNumber);
  } else if (first >= '1' && first <= '9') {
    while (!at_end() && is_digit(peek())) advance();
  } else {
    return fail_here(messages::kInvalidNumber);
  }
  if (!at_end() && peek() == '.') {
    advance();
    if (at_end() || !is_digit(peek())) return fail_peeked(messages::kInvalidNumber);
    while (!at_end() && is_digit(peek())) advance();
  }
  if (!at_end() && (peek() == 'e' || peek() == 'E')) {
    advance();
    if (!at_end() && (peek() == '+' || peek() == '-')) advance();
    if (at_end()) return fail_here(messages::kInvalidNumber);
    unsigned char c = peek();
    advance();
    if (!is_digit(c)) return fail_here(messages::kInvalidNumber);
    while (!at_end() && is_digit(peek())) advance();
  }
  return true;
}

}  // namespace orvex::json
