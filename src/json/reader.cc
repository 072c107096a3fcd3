#include "json/reader.h"

#include <charconv>
#include <vector>

#include "common/fill_message.h"
#include "json/diagnostic_quote.h"
#include "json/float_text.h"
#include "json/json_errors.h"

namespace orvex::json {

bool Reader::fail_at(std::string message, std::size_t offset) {
  error_.message = std::move(message);
  error_.offset = offset;
  return false;
}

bool Reader::enter_nesting() {
  if (--budget_ == 0) return fail_peeked(messages::kRecursionLimitExceeded);
  return true;
}

void append_description(const JsonValue& found, std::string& out) {
  char digits[24];
  std::string_view number;
  switch (found.type()) {
    case Type::Null: out += messages::kFoundNull; return;
    case Type::Boolean: out += found.as_bool() ? messages::kFoundTrue : messages::kFoundFalse; return;
    case Type::String: {
      std::string quoted;
      append_diagnostic_string(found.as_string(), quoted);
      append_filled(out, messages::kFoundString, {quoted});
      return;
    }
    case Type::Array: out += messages::kFoundSequence; return;
    case Type::Object: out += messages::kFoundMap; return;
    case Type::Number: break;
  }
  switch (found.number_kind()) {
    case NumberKind::Unsigned: {
      auto r = std::to_chars(digits, digits + sizeof digits, found.as_unsigned());
      number = std::string_view(digits, static_cast<std::size_t>(r.ptr - digits));
      break;
    }
    case NumberKind::Negative: {
      auto r = std::to_chars(digits, digits + sizeof digits, found.as_negative());
      number = std::string_view(digits, static_cast<std::size_t>(r.ptr - digits));
      break;
    }
    case NumberKind::Float: {
      std::string text;
      append_float_text(found.as_float(), text);
      append_filled(out, messages::kFoundFloat, {text});
      return;
    }
  }
  append_filled(out, messages::kFoundInteger, {number});
}

namespace {

std::string mismatch_message(std::string_view text, const JsonValue& found, std::string_view expected) {
  std::string description;
  append_description(found, description);
  return fill_message(text, {description, expected});
}

}  // namespace

bool Reader::fail_invalid_type(std::string_view expected) {
  if (at_end()) return fail_here(messages::kEofWhileParsingValue);
  JsonValue found;
  if (peek() == '[') {
    found = JsonValue::array({});
  } else if (peek() == '{') {
    found = JsonValue::object({});
  } else if (!read_value(found)) {
    return false;
  }
  return fail_wrong_type(found, expected);
}

bool Reader::fail_wrong_type(const JsonValue& found, std::string_view expected) {
  return fail_here(mismatch_message(messages::kInvalidType, found, expected));
}

bool Reader::fail_invalid_value(const JsonValue& found, std::string_view expected) {
  return fail_here(mismatch_message(messages::kInvalidValue, found, expected));
}

bool Reader::fail_invalid_length(std::size_t found, std::string_view expected) {
  return fail_here(fill_message(messages::kInvalidLength, {std::to_string(found), expected}));
}

bool Reader::fail_missing_field(std::string_view name) {
  return fail_here(fill_message(messages::kMissingField, {name}));
}

bool Reader::fail_duplicate_field(std::string_view name) {
  return fail_here(fill_message(messages::kDuplicateField, {name}));
}

bool Reader::read_literal(std::string_view rest) {
  advance();  // first letter, already matched
  for (char expected : rest) {
    if (at_end()) return fail_here(messages::kEofWhileParsingValue);
    char c = static_cast<char>(peek());
    advance();
    if (c != expected) return fail_here(messages::kExpectedIdent);
  }
  return true;
}

bool Reader::read_value(JsonValue& out) {
  skip_whitespace();
  if (at_end()) return fail_here(messages::kEofWhileParsingValue);
  switch (peek()) {
    case 'n':
      if (!read_literal("ull")) return false;
      out = JsonValue();
      return true;
    case 't':
      if (!read_literal("rue")) return false;
      out.set_boolean(true);
      return true;
    case 'f':
      if (!read_literal("alse")) return false;
      out.set_boolean(false);
      return true;
    case '"':
      return read_string(out.set_string());
    case '[': return read_array(out);
    case '{':
      return read_object_members(out.set_object());
    case '-':
    case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9':
    {
      Number number;
      if (!read_number(number)) return false;
      out.set_number(number);
      return true;
    }
    default:
      return fail_peeked(messages::kExpectedValue);
  }
}

bool Reader::read_array(JsonValue& out) {
  Array& elements = out.set_array();
  return read_elements(Container::kArray, [&] {
    elements.emplace_back();
    return read_value(elements.back());
  });
}

bool Reader::read_object_members(Object& out) {
  Object& members = out;
  members.clear();
  const bool read = read_elements(Container::kObject, [&] {
    if (peek() != '"') return fail_peeked(messages::kKeyMustBeAString);
    members.emplace_back();
    Member& m = members.back();
    if (!read_string(m.key)) return false;
    if (!take_member_colon()) return false;
    return read_value(m.value);
  });
  if (!read) return false;
  sort_members(members);
  return true;
}

bool Reader::skip_value() {
  // Open containers of the skipped value, innermost last: an explicit stack
  // instead of recursion, so no depth of brackets can overflow ours.
  std::string open;
  for (;;) {
    // A value is due here.
    skip_whitespace();
    if (at_end()) return fail_here(messages::kEofWhileParsingValue);
    bool opened = false;
    switch (peek()) {
      case 'n': if (!read_literal("ull")) return false; break;
      case 't': if (!read_literal("rue")) return false; break;
      case 'f': if (!read_literal("alse")) return false; break;
      case '"': if (!skip_string()) return false; break;
      case '-':
      case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9':
        if (!skip_number()) return false;
        break;
      case '[':
      case '{':
        open.push_back(static_cast<char>(peek()));
        advance();
        opened = true;
        break;
      default:
        return fail_peeked(messages::kExpectedValue);
    }
    // Close what ends here; stop at a comma that continues a container.
    bool after_value = !opened;
    for (;;) {
      if (open.empty()) return true;
      char frame = open.back();
      skip_whitespace();
      if (at_end()) {
        return fail_here(frame == '[' ? messages::kEofWhileParsingList : messages::kEofWhileParsingObject);
      }
      unsigned char c = peek();
      if (c == (frame == '[' ? ']' : '}')) {
        advance();
        open.pop_back();
        after_value = true;
        continue;
      }
      if (after_value) {
        if (c != ',') {
          return fail_peeked(frame == '[' ? messages::kExpectedListCommaOrEnd : messages::kExpectedObjectCommaOrEnd);
        }
        advance();
      }
      break;
    }
    if (open.back() == '{') {
      skip_whitespace();
      if (at_end()) return fail_here(messages::kEofWhileParsingValue);
      if (peek() != '"') return fail_peeked(messages::kKeyMustBeAString);
      if (!skip_string()) return false;
      if (!take_member_colon()) return false;
    }
  }
}

bool Reader::finish() {
  skip_whitespace();
  if (!at_end()) return fail_peeked(messages::kTrailingCharacters);
  return true;
}

Result<JsonValue> read_json(std::string_view text) {
  Reader reader(text);
  JsonValue value;
  if (!reader.read_value(value) || !reader.finish()) return Failure::ordinary(reader.error_text());
  return value;
}

}  // namespace orvex::json
