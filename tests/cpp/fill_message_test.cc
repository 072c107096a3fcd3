// The one message filler: placeholders filled in order, doubled braces as
// literal braces, values inserted without being scanned, and what is left
// over when values and placeholders do not match in number.
#include "common/fill_message.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvex {
namespace {

struct FillCase {
  std::string_view text;
  std::initializer_list<std::string_view> values;
  std::string_view expected;
};

TEST(FillMessage, FillsEachPlaceholderInOrderAndUndoublesBraces) {
  const FillCase cases[] = {
      {"", {}, ""},
      {"no values", {}, "no values"},
      {"{}", {"x"}, "x"},
      {"{} at line {} column {}", {"trailing comma", "2", "7"}, "trailing comma at line 2 column 7"},
      {"invalid type: {}, expected {}", {"null", "a string"}, "invalid type: null, expected a string"},
      {"{}{}", {"a", "b"}, "ab"},
      {"{}", {""}, ""},
      // Doubled braces are one literal brace each.
      {"{{", {}, "{"},
      {"}}", {}, "}"},
      {"{{}}", {"unused"}, "{}"},
      {"{{{}}}", {"v"}, "{v}"},
      {"InvalidHexCharacter {{ c: {}, index: {} }}", {"'x'", "3"}, "InvalidHexCharacter { c: 'x', index: 3 }"},
      // A lone brace stands for itself, at either end and beside a placeholder.
      {"{", {}, "{"},
      {"}", {}, "}"},
      {"Object {", {}, "Object {"},
      {"} {} {", {"v"}, "} v {"},
      {"{ {}", {"v"}, "{ v"},
      // Values are inserted as they stand, never read as templates.
      {"[{}]", {"{}"}, "[{}]"},
      {"[{}]", {"{{"}, "[{{]"},
      {"{}-{}", {"}", "{"}, "}-{"},
      // Placeholders left over are copied; values left over are dropped.
      {"{} and {}", {"one"}, "one and {}"},
      {"{}", {"one", "two"}, "one"},
      {"{}", {}, "{}"},
  };
  for (const FillCase& c : cases) {
    EXPECT_EQ(fill_message(c.text, c.values), c.expected) << c.text;
  }
}

TEST(FillMessage, AppendFilledKeepsWhatTheStringHeld) {
  std::string out = "Invalid Intent JSON: ";
  append_filled(out, "{} at line {} column {}", {"expected value", "1", "1"});
  EXPECT_EQ(out, "Invalid Intent JSON: expected value at line 1 column 1");
}

TEST(FillMessage, AppendFilledIntoRoomyStringDoesNotReallocate) {
  std::string out;
  out.reserve(128);
  const char* const storage = out.data();
  append_filled(out, "Constraint violation: {} {} {}", {"amount", "<=", "Number(100.0)"});
  EXPECT_EQ(out, "Constraint violation: amount <= Number(100.0)");
  EXPECT_EQ(out.data(), storage);
}

}  // namespace
}  // namespace orvex
