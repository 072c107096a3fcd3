#include "json/quoted_text.h"

#include <charconv>
#include <cstddef>

#include "json/unicode_table.h"

namespace orvex::json {

namespace {

constexpr char kDoubleQuote = '"';
constexpr char kSingleQuote = '\'';
constexpr std::string_view kEscapedNul = "\\0";
constexpr std::string_view kEscapedTab = "\\t";
constexpr std::string_view kEscapedCarriageReturn = "\\r";
constexpr std::string_view kEscapedLineFeed = "\\n";
constexpr std::string_view kEscapedBackslash = "\\\\";
constexpr std::string_view kHexEscapeOpen = "\\u{";
constexpr char kHexEscapeClose = '}';

// One step of decoding: a character and the bytes it took, or (length 0)
// a byte that starts no well-formed UTF-8 sequence.
struct Decoded {
  char32_t code_point;
  std::size_t length;
};

// Decodes the sequence at `text[at]` by the well-formed UTF-8 table: no
// overlong forms, no surrogates, nothing above U+10FFFF, no truncation.
// Never reads past the end of `text`.
// REQUIRES: at < text.size()
Decoded decode_utf8(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {lead, 1};

  std::size_t length;
  char32_t code_point;
  // The second byte's range is narrower than 80..BF after some leads; that
  // is what rules out overlong forms, surrogates and values past U+10FFFF.
  unsigned char second_min = 0x80;
  unsigned char second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;
    if (lead == 0xED) second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;
    if (lead == 0xF4) second_max = 0x8F;
  } else {
    return {0, 0};
  }
  if (text.size() - at < length) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(at + i);
    const unsigned char min = i == 1 ? second_min : 0x80;
    const unsigned char max = i == 1 ? second_max : 0xBF;
    if (next < min || next > max) return {0, 0};
    code_point = (code_point << 6) | (next & 0x3F);
  }
  return {code_point, length};
}

// REQUIRES: code_point is a Unicode scalar value.
void append_utf8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// \u{hex}: lowercase digits, no leading zeros (to_chars writes neither).
void append_hex_escape(std::uint32_t value, std::string& out) {
  char digits[8];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
  out += kHexEscapeOpen;
  out.append(digits, end);
  out += kHexEscapeClose;
}

// Appends one character in the escaped notation; `quote` is the delimiter
// of the surrounding literal, the only quote that gets a backslash.
void append_escaped_char(char32_t code_point, char quote, std::string& out) {
  switch (code_point) {
    case U'\0': out += kEscapedNul; return;
    case U'\t': out += kEscapedTab; return;
    case U'\r': out += kEscapedCarriageReturn; return;
    case U'\n': out += kEscapedLineFeed; return;
    case U'\\': out += kEscapedBackslash; return;
    default: break;
  }
  if (code_point == static_cast<char32_t>(quote)) {
    out += '\\';
    out += quote;
    return;
  }
  // Grapheme extenders are escaped even though printable: shown raw they
  // would merge into the quote or the character before them.
  if (unicode::is_grapheme_extend(code_point) || !unicode::is_printable(code_point)) {
    append_hex_escape(code_point, out);
    return;
  }
  append_utf8(code_point, out);
}

// Printable ASCII that stands for itself inside double quotes.
bool is_plain_ascii(unsigned char byte) {
  return byte >= 0x20 && byte < 0x7F && byte != kDoubleQuote && byte != '\\';
}

}  // namespace

void append_quoted_text(std::string_view utf8, std::string& out) {
  out += kDoubleQuote;
  std::size_t at = 0;
  while (at < utf8.size()) {
    std::size_t run_end = at;
    while (run_end < utf8.size() && is_plain_ascii(static_cast<unsigned char>(utf8[run_end]))) {
      ++run_end;
    }
    out.append(utf8, at, run_end - at);
    at = run_end;
    if (at == utf8.size()) break;

    const Decoded decoded = decode_utf8(utf8, at);
    if (decoded.length == 0) {
      // Not UTF-8: show the byte's value and resume at the next byte, so
      // a broken sequence costs one escape per byte and nothing is lost.
      append_hex_escape(static_cast<unsigned char>(utf8[at]), out);
      ++at;
      continue;
    }
    append_escaped_char(decoded.code_point, kDoubleQuote, out);
    at += decoded.length;
  }
  out += kDoubleQuote;
}

void append_char_literal(std::uint32_t code_point, std::string& out) {
  out += kSingleQuote;
  append_escaped_char(static_cast<char32_t>(code_point), kSingleQuote, out);
  out += kSingleQuote;
}

}  // namespace orvex::json
