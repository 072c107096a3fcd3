// Strings: escapes, surrogate pairs, and the relaxed check of strings that
// are only skipped.
#include <cstring>

#include "json/byte_scan.h"
#include "json/json_errors.h"
#include "json/reader.h"
#include "json/utf8.h"

namespace orvex::json {
namespace {

int hex_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// Cursor just past "\u": takes four hex digits.
bool Reader::read_hex_escape(std::uint32_t& unit) {
  if (end_ - cur_ < 4) {
    cur_ = end_;
    return fail_here(messages::kEofWhileParsingString);
  }
  std::uint32_t value = 0;
  bool valid = true;
  for (int i = 0; i < 4; ++i) {
    int h = hex_value(static_cast<unsigned char>(cur_[i]));
    if (h < 0) valid = false;
    value = value * 16 + static_cast<std::uint32_t>(h < 0 ? 0 : h);
  }
  cur_ += 4;
  if (!valid) return fail_here(messages::kInvalidEscape);
  unit = value;
  return true;
}

// Cursor just past "\u": one character, or a surrogate pair of two escapes.
bool Reader::read_escaped_code_point(std::uint32_t& code_point) {
  std::uint32_t unit = 0;
  if (!read_hex_escape(unit)) return false;
  if (unit >= 0xDC00 && unit <= 0xDFFF) return fail_here(messages::kLoneLeadingSurrogate);
  if (unit < 0xD800 || unit > 0xDBFF) {
    code_point = unit;
    return true;
  }
  if (at_end()) return fail_here(messages::kEofWhileParsingString);
  if (peek() != '\\') {
    advance();
    return fail_here(messages::kUnexpectedEndOfHexEscape);
  }
  advance();
  if (at_end()) return fail_here(messages::kEofWhileParsingString);
  if (peek() != 'u') {
    advance();
    return fail_here(messages::kUnexpectedEndOfHexEscape);
  }
  advance();
  std::uint32_t low = 0;
  if (!read_hex_escape(low)) return false;
  if (low < 0xDC00 || low > 0xDFFF) return fail_here(messages::kLoneLeadingSurrogate);
  code_point = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
  return true;
}

bool Reader::read_unicode_escape(std::string& out) {
  std::uint32_t code_point = 0;
  if (!read_escaped_code_point(code_point)) return false;
  append_utf8(code_point, out);
  return true;
}

bool Reader::read_string(std::string& out) {
  // Most strings hold no escape: one scan finds the closing quote and one
  // copy takes them. The loop below decodes the rest, and places any error.
  std::string_view in_text;
  if (view_unescaped_string(in_text)) {
    out.assign(in_text);
    return true;
  }
  out.clear();
  advance();  // opening quote
  for (;;) {
    const char* run = cur_;
    cur_ = find_string_special(cur_, end_);
    out.append(run, static_cast<std::size_t>(cur_ - run));
    if (at_end()) return fail_here(messages::kEofWhileParsingString);
    unsigned char c = peek();
    advance();
    if (c == '"') return true;
    if (c != '\\') return fail_here(messages::kControlCharacter);
    if (at_end()) return fail_here(messages::kEofWhileParsingString);
    unsigned char e = peek();
    advance();
    switch (e) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '/': out += '/'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u':
        if (!read_unicode_escape(out)) return false;
        break;
      default:
        return fail_here(messages::kInvalidEscape);
    }
  }
}

bool Reader::skip_string() {
  advance();  // opening quote
  for (;;) {
    cur_ = find_string_special(cur_, end_);
    if (at_end()) return fail_here(messages::kEofWhileParsingString);
    unsigned char c = peek();
    if (c == '"') {
      advance();
      return true;
    }
    // A control character in a skipped string is reported before it.
    if (c != '\\') return fail_here(messages::kControlCharacter);
    advance();
    if (at_end()) return fail_here(messages::kEofWhileParsingString);
    unsigned char e = peek();
    advance();
    if (e == 'u') {
      std::uint32_t unused = 0;
      if (!read_hex_escape(unused)) return false;
    } else if (std::strchr("\"\\/bfnrt", e) == nullptr || e == 0) {
      return fail_here(messages::kInvalidEscape);
    }
  }
}

}  // namespace orvex::json
