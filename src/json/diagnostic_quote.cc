#include "json/diagnostic_quote.h"

#include <charconv>
#include <cstddef>

#include "json/unicode_table.h"
#include "json/utf8.h"

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

void append_diagnostic_string(std::string_view utf8, std::string& out) {
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

    const Utf8Char decoded = decode_utf8(utf8, at);
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

void append_diagnostic_char(std::uint32_t code_point, std::string& out) {
  out += kSingleQuote;
  append_escaped_char(static_cast<char32_t>(code_point), kSingleQuote, out);
  out += kSingleQuote;
}

}  // namespace orvex::json
