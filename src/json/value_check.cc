// Checking a value by the rules of read_value without building it: the
// audit log verifier reads lines as large as the guard writes them, and a
// tree of a long array costs many times the text.
#include <cstdint>

#include "json/json_errors.h"
#include "json/reader.h"

namespace orvex::json {

bool Reader::check_value() {
  skip_whitespace();
  if (at_end()) return fail_here(messages::kEofWhileParsingValue);
  switch (peek()) {
    case 'n': return read_literal("ull");
    case 't': return read_literal("rue");
    case 'f': return read_literal("alse");
    case '"': return check_string();
    case '[':
    case '{': return check_container();
    case '-':
    case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9': {
      Number number;
      return read_number(number);
    }
    default:
      return fail_peeked(messages::kExpectedValue);
  }
}

// REQUIRES: peek() == '"'. The steps and failures of read_string, without
// its output.
bool Reader::check_string() {
  advance();  // opening quote
  for (;;) {
    cur_ = find_string_special(cur_, end_);
    if (at_end()) return fail_here(messages::kEofWhileParsingString);
    const unsigned char c = peek();
    advance();
    if (c == '"') return true;
    if (c != '\\') return fail_here(messages::kControlCharacter);
    if (at_end()) return fail_here(messages::kEofWhileParsingString);
    const unsigned char e = peek();
    advance();
    switch (e) {
      case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't': break;
      case 'u': {
        std::uint32_t unused = 0;
        if (!read_escaped_code_point(unused)) return false;
        break;
      }
      default:
        return fail_here(messages::kInvalidEscape);
    }
  }
}

// REQUIRES: peek() is '[' or '{'. The steps and failures of read_array and
// read_object_members; the nesting budget bounds the recursion.
bool Reader::check_container() {
  const bool is_object = peek() == '{';
  return read_elements(is_object ? Container::kObject : Container::kArray, [&] {
    if (is_object) {
      if (peek() != '"') return fail_peeked(messages::kKeyMustBeAString);
      if (!check_string()) return false;
      if (!take_member_colon()) return false;
    }
    return check_value();
  });
}

}  // namespace orvex::json
