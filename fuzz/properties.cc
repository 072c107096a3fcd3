#include "properties.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "expected_texts.h"

namespace orvex::fuzz {
namespace {

constexpr std::size_t kShownInputBytes = 512;

void print_escaped(std::string_view bytes) {
  for (unsigned char c : bytes.substr(0, kShownInputBytes)) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      std::fputc(c, stderr);
    } else {
      std::fprintf(stderr, "\\x%02x", c);
    }
  }
  if (bytes.size() > kShownInputBytes) std::fprintf(stderr, "... (%zu bytes)", bytes.size());
  std::fputc('\n', stderr);
}

bool is_whitespace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool starts_value(unsigned char c) {
  return c == 'n' || c == 't' || c == 'f' || c == '-' || is_digit(c) || c == '"' || c == '[' || c == '{';
}

// Parses a decimal number without sign or leading zeros that makes up the
// whole of `digits`.
bool parse_decimal(std::string_view digits, std::size_t& out) {
  if (digits.empty() || (digits.size() > 1 && digits[0] == '0')) return false;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
  return ec == std::errc() && end == digits.data() + digits.size();
}

bool contains(const std::vector<std::string_view>& words, std::string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Byte before the offset, or byte at it; -1 outside the text.
int byte_before(std::string_view text, std::size_t offset) {
  return offset >= 1 && offset <= text.size() ? static_cast<unsigned char>(text[offset - 1]) : -1;
}
int byte_at(std::string_view text, std::size_t offset) {
  return offset < text.size() ? static_cast<unsigned char>(text[offset]) : -1;
}

// "integer `-12`" with an optional minus and decimal digits.
bool is_integer_description(std::string_view d) {
  constexpr std::string_view kOpen = "integer `";
  if (!starts_with(d, kOpen) || d.size() < kOpen.size() + 2 || d.back() != '`') return false;
  std::string_view n = d.substr(kOpen.size(), d.size() - kOpen.size() - 1);
  if (!n.empty() && n[0] == '-') n.remove_prefix(1);
  std::size_t unused;
  return parse_decimal(n, unused);
}

// The description of a value found, and where the error must then point.
void check_found(std::string_view text, const PlacedError& e, std::string_view found) {
  const int before = byte_before(text, e.offset);
  if (found == "sequence") {
    ORVEX_FUZZ_REQUIRE(byte_at(text, e.offset) == '[', text, e.message);
  } else if (found == "map") {
    ORVEX_FUZZ_REQUIRE(byte_at(text, e.offset) == '{', text, e.message);
  } else if (found == "null") {
    ORVEX_FUZZ_REQUIRE(before == 'l', text, e.message);
  } else if (found == "boolean `true`" || found == "boolean `false`") {
    ORVEX_FUZZ_REQUIRE(before == 'e', text, e.message);
  } else if (starts_with(found, "string \"")) {
    ORVEX_FUZZ_REQUIRE(found.size() >= 9 && found.back() == '"', text, e.message);
    ORVEX_FUZZ_REQUIRE(before == '"', text, e.message);
  } else if (starts_with(found, "floating point `")) {
    ORVEX_FUZZ_REQUIRE(found.back() == '`', text, e.message);
    ORVEX_FUZZ_REQUIRE(before >= 0 && is_digit(static_cast<unsigned char>(before)), text, e.message);
  } else {
    ORVEX_FUZZ_REQUIRE(is_integer_description(found), text, e.message);
    ORVEX_FUZZ_REQUIRE(before >= 0 && is_digit(static_cast<unsigned char>(before)), text, e.message);
  }
}

}  // namespace

[[noreturn]] void property_broken(const char* property, std::string_view input, std::string_view detail) {
  std::fprintf(stderr, "\n==== property broken: %s\n---- input: ", property);
  print_escaped(input);
  std::fprintf(stderr, "---- detail: ");
  print_escaped(detail);
  std::abort();
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool is_syntax_message(std::string_view message) {
  return contains({std::begin(expected::kSyntaxMessages), std::end(expected::kSyntaxMessages)}, message);
}

PlacedError place_error(std::string_view text, std::string_view error) {
  const std::size_t column_at = error.rfind(expected::kPositionColumn);
  ORVEX_FUZZ_REQUIRE(column_at != std::string_view::npos, text, error);
  const std::size_t line_at = error.rfind(expected::kPositionLine, column_at);
  ORVEX_FUZZ_REQUIRE(line_at != std::string_view::npos, text, error);
  const std::string_view line_digits =
      error.substr(line_at + expected::kPositionLine.size(), column_at - line_at - expected::kPositionLine.size());
  const std::string_view column_digits = error.substr(column_at + expected::kPositionColumn.size());
  std::size_t line = 0;
  std::size_t column = 0;
  ORVEX_FUZZ_REQUIRE(parse_decimal(line_digits, line) && line >= 1, text, error);
  ORVEX_FUZZ_REQUIRE(parse_decimal(column_digits, column), text, error);

  // Line L starts after the (L-1)th line feed, which must exist.
  std::size_t line_start = 0;
  for (std::size_t l = 1; l < line; ++l) {
    const std::size_t feed = text.find('\n', line_start);
    ORVEX_FUZZ_REQUIRE(feed != std::string_view::npos, text, error);
    line_start = feed + 1;
  }
  ORVEX_FUZZ_REQUIRE(column <= text.size() - line_start, text, error);
  ORVEX_FUZZ_REQUIRE(text.substr(line_start, column).find('\n') == std::string_view::npos, text, error);
  return PlacedError{error.substr(0, line_at), line_start + column};
}

void check_syntax_error(std::string_view text, const PlacedError& e) {
  namespace x = expected;
  const std::string_view m = e.message;
  ORVEX_FUZZ_REQUIRE(is_syntax_message(m), text, m);
  const int before = byte_before(text, e.offset);
  const bool before_is_space = before >= 0 && is_whitespace(static_cast<unsigned char>(before));
  if (m == x::kEofList || m == x::kEofObject || m == x::kEofString || m == x::kEofValue) {
    // A premature end is reported at the end and nowhere else.
    ORVEX_FUZZ_REQUIRE(e.offset == text.size(), text, m);
  } else if (m == x::kExpectedValue) {
    ORVEX_FUZZ_REQUIRE(before >= 0 && !starts_value(static_cast<unsigned char>(before)) && !before_is_space, text, m);
  } else if (m == x::kExpectedColon) {
    ORVEX_FUZZ_REQUIRE(before >= 0 && before != ':' && !before_is_space, text, m);
  } else if (m == x::kExpectedListCommaOrEnd) {
    ORVEX_FUZZ_REQUIRE(before >= 0 && before != ',' && before != ']' && !before_is_space, text, m);
  } else if (m == x::kExpectedObjectCommaOrEnd) {
    ORVEX_FUZZ_REQUIRE(before >= 0 && before != ',' && before != '}' && !before_is_space, text, m);
  } else if (m == x::kKeyMustBeAString) {
    ORVEX_FUZZ_REQUIRE(before >= 0 && before != '"' && !before_is_space, text, m);
  } else if (m == x::kTrailingComma) {
    ORVEX_FUZZ_REQUIRE(before == ']' || before == '}', text, m);
  } else if (m == x::kTrailingCharacters) {
    // The array form of a document also ends here when a comma is followed
    // by the end of the text.
    ORVEX_FUZZ_REQUIRE(e.offset == text.size() || (before >= 0 && !before_is_space), text, m);
  } else if (m == x::kRecursionLimit) {
    ORVEX_FUZZ_REQUIRE(before == '[' || before == '{', text, m);
  } else if (m == x::kNumberOutOfRange) {
    ORVEX_FUZZ_REQUIRE(before >= 0 && is_digit(static_cast<unsigned char>(before)), text, m);
  } else if (m == x::kControlCharacter) {
    // At the control byte, or (in a skipped string) just before it.
    const int at = byte_at(text, e.offset);
    ORVEX_FUZZ_REQUIRE((before >= 0 && before < 0x20) || (at >= 0 && at < 0x20), text, m);
  } else {
    // expected ident, invalid escape, invalid number, and the surrogate
    // messages point at a byte that was taken.
    ORVEX_FUZZ_REQUIRE(e.offset >= 1, text, m);
  }
}

void check_reading_error(std::string_view text, const PlacedError& e, const TypedVocabulary& words) {
  namespace x = expected;
  const std::string_view m = e.message;
  if (is_syntax_message(m)) {
    check_syntax_error(text, e);
    return;
  }
  const int before = byte_before(text, e.offset);
  if (starts_with(m, x::kInvalidTypePrefix)) {
    const std::size_t infix = m.rfind(x::kExpectedInfix);
    ORVEX_FUZZ_REQUIRE(infix != std::string_view::npos && infix >= x::kInvalidTypePrefix.size(), text, m);
    ORVEX_FUZZ_REQUIRE(contains(words.expectations, m.substr(infix + x::kExpectedInfix.size())), text, m);
    check_found(text, e, m.substr(x::kInvalidTypePrefix.size(), infix - x::kInvalidTypePrefix.size()));
  } else if (starts_with(m, x::kInvalidValuePrefix)) {
    // Only an integer beyond the 32-bit range is a well-typed wrong value.
    constexpr std::string_view kSuffix = ", expected i32";
    ORVEX_FUZZ_REQUIRE(m.size() > kSuffix.size() && m.substr(m.size() - kSuffix.size()) == kSuffix, text, m);
    const std::string_view found =
        m.substr(x::kInvalidValuePrefix.size(), m.size() - kSuffix.size() - x::kInvalidValuePrefix.size());
    ORVEX_FUZZ_REQUIRE(is_integer_description(found), text, m);
    const std::string_view digits = found.substr(9, found.size() - 10);
    long long value = 0;
    const bool fits = std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc();
    ORVEX_FUZZ_REQUIRE(!fits || value > 2147483647LL || value < -2147483648LL, text, m);
    ORVEX_FUZZ_REQUIRE(before >= 0 && is_digit(static_cast<unsigned char>(before)), text, m);
  } else if (starts_with(m, x::kInvalidLengthPrefix)) {
    const std::size_t infix = m.find(x::kExpectedInfix);
    ORVEX_FUZZ_REQUIRE(infix != std::string_view::npos, text, m);
    std::size_t count = 0;
    const std::string_view count_text = m.substr(x::kInvalidLengthPrefix.size(), infix - x::kInvalidLengthPrefix.size());
    ORVEX_FUZZ_REQUIRE(parse_decimal(count_text, count), text, m);
    const std::string_view length_text = m.substr(infix + x::kExpectedInfix.size());
    ORVEX_FUZZ_REQUIRE(contains(words.length_texts, length_text), text, m);
    // Only an array that closes before its last field is too short.
    constexpr std::string_view kWith = " with ";
    const std::string_view wanted = length_text.substr(length_text.find(kWith) + kWith.size());
    std::size_t fields = 0;
    std::from_chars(wanted.data(), wanted.data() + wanted.size(), fields);
    ORVEX_FUZZ_REQUIRE(count < fields, text, m);
    ORVEX_FUZZ_REQUIRE(before == ']', text, m);
  } else if (starts_with(m, x::kMissingFieldPrefix) || starts_with(m, x::kDuplicateFieldPrefix)) {
    const bool missing = starts_with(m, x::kMissingFieldPrefix);
    const std::size_t prefix = missing ? x::kMissingFieldPrefix.size() : x::kDuplicateFieldPrefix.size();
    ORVEX_FUZZ_REQUIRE(m.size() > prefix && m.back() == '`', text, m);
    ORVEX_FUZZ_REQUIRE(contains(words.fields, m.substr(prefix, m.size() - prefix - 1)), text, m);
    ORVEX_FUZZ_REQUIRE(missing ? before == '}' : before == '"', text, m);
  } else {
    property_broken("a known reading message", text, m);
  }
}

}  // namespace orvex::fuzz
