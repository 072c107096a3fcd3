// The one JSON reader. Typed decoders run on the same cursor and the same
// failure helpers; nothing builds a generic tree first unless it asks for a
// JsonValue.
//
// Every reading function returns false after recording exactly one error;
// the error's offset follows one rule: the offset just past the byte at which
// the problem was found, or the text's length for a premature end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"
#include "json/byte_scan.h"
#include "json/json_error.h"
#include "json/json_errors.h"
#include "json/value.h"

namespace orvex::documents {
class UsualEntry;
}

namespace orvex::json {

// Arrays and objects that may be open at once, a document's own included,
// is one less than this.
inline constexpr int kNestingBudget = 128;

class Reader {
 public:
  explicit Reader(std::string_view text)
      : begin_(text.data()), cur_(text.data()), end_(text.data() + text.size()) {}

  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // ---- cursor ----
  void skip_whitespace() { cur_ = skip_json_whitespace(cur_, end_); }
  bool at_end() const { return cur_ == end_; }
  // REQUIRES: !at_end()
  unsigned char peek() const { return static_cast<unsigned char>(*cur_); }
  // REQUIRES: !at_end()
  void advance() { ++cur_; }
  std::size_t offset() const { return static_cast<std::size_t>(cur_ - begin_); }
  std::string_view text() const { return std::string_view(begin_, static_cast<std::size_t>(end_ - begin_)); }

  // ---- failures: record the error and return false ----
  bool fail_at(std::string message, std::size_t offset);
  // At the last byte taken (the cursor).
  bool fail_here(std::string message) { return fail_at(std::move(message), offset()); }
  // At the byte under the cursor, or at the end of the text.
  bool fail_peeked(std::string message) { return fail_at(std::move(message), offset() + (at_end() ? 0 : 1)); }
  // "invalid type: <found>, expected <expected>". Cursor at the start of the
  // offending value (whitespace skipped). A scalar is read in full (its own
  // syntax errors win) and the error points at its last byte; an array or
  // object is not entered and the error points before its bracket.
  bool fail_invalid_type(std::string_view expected);
  // "invalid type: <found>, expected <expected>" at the cursor, for a value
  // already read.
  bool fail_wrong_type(const JsonValue& found, std::string_view expected);
  // "invalid value: <found>, expected <expected>" at the cursor.
  bool fail_invalid_value(const JsonValue& found, std::string_view expected);
  // "invalid length <found>, expected <expected>" at the cursor: an array
  // form that ends after `found` elements.
  bool fail_invalid_length(std::size_t found, std::string_view expected);
  // "missing field `<name>`" / "duplicate field `<name>`" at the cursor.
  bool fail_missing_field(std::string_view name);
  bool fail_duplicate_field(std::string_view name);

  const JsonError& error() const { return error_; }
  // The error in its outside form: "<message> at line L column C".
  std::string error_text() const { return json::error_text(text(), error_); }

  // ---- nesting ----
  // Cursor at '[' or '{': takes one unit of the budget, or fails with
  // "recursion limit exceeded" at that bracket. Does not consume it.
  bool enter_nesting();
  void leave_nesting() { ++budget_; }

  // ---- arrays and objects ----
  enum class Container { kArray, kObject };
  enum class Next { kElement, kClose, kFailed };
  // The step between the elements of an array, or the members of an
  // object: where an element or the closing bracket is due, just past the
  // opening bracket (`first`) or just past an element. Skips whitespace;
  // at the closing bracket returns kClose with the cursor on it; otherwise
  // takes the comma between elements (not before the first) and the
  // whitespace after it, and returns kElement with the cursor at the next
  // element. A missing comma, a comma before the closing bracket and the
  // end of the text fail (kFailed).
  Next next_in(Container container, bool first);
  // After a member's key: whitespace, then the colon, which it takes.
  bool take_member_colon();
  // REQUIRES: peek() is the opening bracket of `container`. Takes one unit
  // of the nesting budget and reads the elements (or members) one by one,
  // each by read_element() with the cursor at it, whitespace skipped;
  // leaves the cursor past the closing bracket.
  template <class ReadElement>
  bool read_elements(Container container, ReadElement&& read_element);

  // ---- values ----
  // Reads any value; leading whitespace is skipped. Leaves the cursor just
  // past the value.
  bool read_value(JsonValue& out);
  // REQUIRES: peek() == '"'. Decodes escapes; leaves the cursor past the
  // closing quote. `out` is overwritten.
  bool read_string(std::string& out);
  // REQUIRES: peek() == '"'. A string without escapes (the usual kind) is
  // viewed where it stands: `in_text` is set, the cursor leaves past the
  // closing quote, and it returns true. Any other string (escapes, a
  // control character, no closing quote) leaves the cursor unmoved and
  // returns false, for read_string to decode it or to fail at the right
  // place. Records no error.
  bool view_unescaped_string(std::string_view& in_text) {
    const char* after = unescaped_string_end(cur_, end_);
    if (after == nullptr) return false;
    in_text = std::string_view(cur_ + 1, static_cast<std::size_t>(after - cur_ - 2));
    cur_ = after;
    return true;
  }
  // REQUIRES: peek() == '"'. Like read_string, for a key that is only
  // compared: a key without escapes is viewed in place in the text, any
  // other is decoded into `scratch`. `key` is valid while both live.
  // Inline: a struct's keys are read one per member.
  bool read_key(std::string_view& key, std::string& scratch) {
    if (view_unescaped_string(key)) return true;
    if (!read_string(scratch)) return false;
    key = scratch;
    return true;
  }
  // REQUIRES: peek() is '-' or a digit. Leaves the cursor past the number.
  bool read_number(Number& out);
  // REQUIRES: peek() == '{'. Reads an object's members into `out` (sorted,
  // later duplicates winning). Leaves the cursor past the closing brace.
  // Whatever `out` held is dropped but its capacity kept, so a caller that
  // knows the usual size may reserve it first.
  bool read_object_members(Object& out);
  // Checks and discards a value of any depth without recursion, with the
  // relaxed rules of values nobody reads (no nesting limit, no magnitude, no
  // surrogate pairing). Leading whitespace is skipped. It does not step
  // with next_in: after a comma a value is due, so a comma before the
  // closing bracket fails as "expected value", not "trailing comma".
  bool skip_value();
  // Checks a value by exactly the rules of read_value (nesting budget,
  // number range, surrogate pairs), failing with the same error at the same
  // offset, but builds nothing: the memory it needs does not grow with the
  // value. Leading whitespace is skipped; leaves the cursor past the value.
  bool check_value();
  // After a top-level value: only whitespace may follow.
  bool finish();

 private:
  bool read_literal(std::string_view rest);
  bool read_array(JsonValue& out);
  bool read_hex_escape(std::uint32_t& unit);
  bool read_unicode_escape(std::string& out);
  bool read_escaped_code_point(std::uint32_t& code_point);
  bool check_string();
  bool check_container();
  bool skip_string();
  bool skip_number();

  // The manifest's usual entries are scanned straight from the text, and
  // the reader is handed back the place where they end; nothing else moves
  // the cursor by address.
  friend class documents::UsualEntry;

  const char* begin_;
  const char* cur_;
  const char* end_;
  int budget_ = kNestingBudget;
  JsonError error_;
};

[[gnu::always_inline]] inline Reader::Next Reader::next_in(Container container, bool first) {
  const bool is_object = container == Container::kObject;
  const unsigned char close = is_object ? '}' : ']';
  skip_whitespace();
  if (at_end()) {
    fail_here(is_object ? messages::kEofWhileParsingObject : messages::kEofWhileParsingList);
    return Next::kFailed;
  }
  if (peek() == close) return Next::kClose;
  if (first) return Next::kElement;
  if (peek() != ',') {
    fail_peeked(is_object ? messages::kExpectedObjectCommaOrEnd : messages::kExpectedListCommaOrEnd);
    return Next::kFailed;
  }
  advance();
  skip_whitespace();
  if (at_end()) {
    fail_here(messages::kEofWhileParsingValue);
    return Next::kFailed;
  }
  if (peek() == close) {
    fail_peeked(messages::kTrailingComma);
    return Next::kFailed;
  }
  return Next::kElement;
}

[[gnu::always_inline]] inline bool Reader::take_member_colon() {
  skip_whitespace();
  if (at_end()) return fail_here(messages::kEofWhileParsingObject);
  if (peek() != ':') return fail_peeked(messages::kExpectedColon);
  advance();
  return true;
}

template <class ReadElement>
[[gnu::always_inline]] inline bool Reader::read_elements(Container container, ReadElement&& read_element) {
  if (!enter_nesting()) return false;
  advance();
  // The first step apart, so that each call of next_in folds to its own
  // few comparisons: this loop runs once per entry of a large manifest.
  Next next = next_in(container, true);
  while (next == Next::kElement) {
    if (!read_element()) return false;
    next = next_in(container, false);
  }
  if (next == Next::kFailed) return false;
  advance();  // the closing bracket
  leave_nesting();
  return true;
}

// "integer `5`", "floating point `1.0`", "string \"x\"", "sequence", ...
void append_description(const JsonValue& found, std::string& out);

// Reads a complete text holding exactly one value (whitespace around it).
// Failure: the error text with its position.
Result<JsonValue> read_json(std::string_view text);

}  // namespace orvex::json
