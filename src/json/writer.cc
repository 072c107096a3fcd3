#include "json/writer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/hex.h"
#include "json/byte_scan.h"
#include "json/float_text.h"

namespace orvex::json {

namespace {

constexpr std::string_view kNull = "null";
constexpr std::string_view kTrue = "true";
constexpr std::string_view kFalse = "false";
// A control character without a short escape: \u00 and two hex digits.
constexpr std::string_view kControlEscapePrefix = "\\u00";

// For each byte that a string cannot carry unescaped: 'u' for \u00xx,
// otherwise the letter that follows the backslash.
constexpr char kUnicodeEscape = 'u';
constexpr std::array<char, 256> make_escape_table() {
  std::array<char, 256> table{};
  for (int byte = 0; byte < 0x20; ++byte) table[byte] = kUnicodeEscape;
  table['"'] = '"';
  table['\\'] = '\\';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  return table;
}
constexpr std::array<char, 256> kEscapeTable = make_escape_table();

// Big enough for the 20 digits of the largest 64-bit magnitude.
constexpr std::size_t kIntegerBufferSize = 24;

void append_unsigned(std::uint64_t value, std::string& out) {
  char digits[kIntegerBufferSize];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

void append_negative(std::int64_t value, std::string& out) {
  out += '-';
  // Negating in unsigned arithmetic keeps -2^63 in range.
  append_unsigned(0 - static_cast<std::uint64_t>(value), out);
}

void append_float(double value, std::string& out) {
  if (std::isfinite(value)) {
    append_float_text(value, out);
  } else {
    out += kNull;  // JSON has no infinity or NaN
  }
}

void append_array(const Array& elements, std::string& out) {
  out += '[';
  bool first = true;
  for (const JsonValue& element : elements) {
    if (!first) out += ',';
    first = false;
    write_compact(element, out);
  }
  out += ']';
}

}  // namespace

void write_compact(const JsonValue& value, std::string& out) {
  switch (value.type()) {
    case Type::Null:
      out += kNull;
      return;
    case Type::Boolean:
      out += value.as_bool() ? kTrue : kFalse;
      return;
    case Type::Number:
      switch (value.number_kind()) {
        case NumberKind::Unsigned: append_unsigned(value.as_unsigned(), out); return;
        case NumberKind::Negative: append_negative(value.as_negative(), out); return;
        case NumberKind::Float: append_float(value.as_float(), out); return;
      }
      return;
    case Type::String:
      write_string(value.as_string(), out);
      return;
    case Type::Array:
      append_array(value.as_array(), out);
      return;
    case Type::Object:
      write_object(value.as_object(), out);
      return;
  }
}

std::string write_compact(const JsonValue& value) {
  std::string out;
  write_compact(value, out);
  return out;
}

void write_string(std::string_view text, std::string& out) {
  const char* run = text.data();
  const char* const end = run + text.size();
  const char* special = find_string_special(run, end);
  if (special == end) {
    // The usual string, with nothing to escape, goes out in one piece: room
    // for it made at once, filled with quotes so that both ends are done,
    // and the bytes copied in between.
    const std::size_t start = out.size();
    out.append(text.size() + 2, '"');
    if (!text.empty()) std::memcpy(out.data() + start + 1, text.data(), text.size());
    return;
  }
  // Most of such a string needs no escape either; one reservation covers it.
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  for (;;) {
    out.append(run, static_cast<std::size_t>(special - run));
    if (special == end) break;
    const unsigned char byte = static_cast<unsigned char>(*special);
    const char escape = kEscapeTable[byte];
    if (escape == kUnicodeEscape) {
      out += kControlEscapePrefix;
      append_lowercase_hex(std::span<const std::uint8_t>(&byte, 1), out);
    } else {
      out += '\\';
      out += escape;
    }
    run = special + 1;
    special = find_string_special(run, end);
  }
  out += '"';
}

void write_object(const Object& members, std::string& out) {
  out += '{';
  bool first = true;
  for (const Member& member : members) {
    if (!first) out += ',';
    first = false;
    write_string(member.key, out);
    out += ':';
    write_compact(member.value, out);
  }
  out += '}';
}

}  // namespace orvex::json
