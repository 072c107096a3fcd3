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
#include "json/value.h"

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
  // For decoders that scan a common spelling on their own and hand back
  // to the reader, or start over, at a place they choose.
  const char* cursor() const { return cur_; }
  const char* end() const { return end_; }
  // REQUIRES: `at` within the text, at or after its start.
  void set_cursor(const char* at) { cur_ = at; }
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

  // ---- values ----
  // Reads any value; leading whitespace is skipped. Leaves the cursor just
  // past the value.
  bool read_value(JsonValue& out);
  // REQUIRES: peek() == '"'. Decodes escapes; leaves the cursor past the
  // closing quote. `out` is overwritten.
  bool read_string(std::string& out);
  // REQUIRES: peek() == '"'. Like read_string, for a key that is only
  // compared: a key without escapes is viewed in place in the text, any
  // other is decoded into `scratch`. `key` is valid while both live.
  bool read_key(std::string_view& key, std::string& scratch);
  // REQUIRES: peek() is '-' or a digit. Leaves the cursor past the number.
  bool read_number(Number& out);
  // REQUIRES: peek() == '{'. Reads an object's members into `out` (sorted,
  // later duplicates winning). Leaves the cursor past the closing brace.
  bool read_object_members(Object& out);
  // Checks and discards a value of any depth without recursion, with the
  // relaxed rules of values nobody reads (no nesting limit, no magnitude, no
  // surrogate pairing). Leading whitespace is skipped.
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

  const char* begin_;
  const char* cur_;
  const char* end_;
  int budget_ = kNestingBudget;
  JsonError error_;
};

// "integer `5`", "floating point `1.0`", "string \"x\"", "sequence", ...
void append_description(const JsonValue& found, std::string& out);

// Reads a complete text holding exactly one value (whitespace around it).
// Failure: the error text with its position.
Result<JsonValue> read_json(std::string_view text);

}  // namespace orvex::json
