// The reader's exact texts: every catalogue message with its position, the
// number kinds, and the relaxed rules of skipped values.
#include <gtest/gtest.h>

#include <string>

#include "documents/intent_action_state.h"
#include "json/reader.h"
#include "json/writer.h"

namespace orvex::json {
namespace {

std::string read_outcome(std::string_view text) {
  Result<JsonValue> r = read_json(text);
  return r.ok() ? "ok " + write_compact(r.value()) : r.failure().message;
}

struct Case {
  const char* text;
  const char* expected;
};

TEST(JsonReader, SyntaxErrorsWithPositions) {
  const Case cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"   ", "EOF while parsing a value at line 1 column 3"},
      {"{\n", "EOF while parsing an object at line 2 column 0"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"[1", "EOF while parsing a list at line 1 column 2"},
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"[1,", "EOF while parsing a value at line 1 column 3"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{\"a\":1 \"b\"}", "expected `,` or `}` at line 1 column 8"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
      {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
      {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
      {"nulx", "expected ident at line 1 column 4"},
      {"tru", "EOF while parsing a value at line 1 column 3"},
      {"fals!", "expected ident at line 1 column 5"},
      {"@", "expected value at line 1 column 1"},
      {"{} {}", "trailing characters at line 1 column 4"},
      {"1x", "trailing characters at line 1 column 2"},
      {"01", "invalid number at line 1 column 2"},
      {"-01", "invalid number at line 1 column 3"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"-a", "invalid number at line 1 column 2"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1.e3", "invalid number at line 1 column 3"},
      {"1e", "EOF while parsing a value at line 1 column 2"},
      {"1e+", "EOF while parsing a value at line 1 column 3"},
      {"1ex", "invalid number at line 1 column 3"},
      {"+1", "expected value at line 1 column 1"},
      {"1e309", "number out of range at line 1 column 5"},
      {"[1e2147483648]", "number out of range at line 1 column 13"},
      {"1e2147483647", "number out of range at line 1 column 12"},
      {"1e21474836470", "number out of range at line 1 column 13"},
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"\"a\nb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"\"\x01\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"\\q\"", "invalid escape at line 1 column 3"},
      {"\"\\", "EOF while parsing a string at line 1 column 2"},
      {"\"\\u12", "EOF while parsing a string at line 1 column 5"},
      {"\"\\u12G4\"", "invalid escape at line 1 column 7"},
      {"\"\\ud800\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\ud800\\n\"", "unexpected end of hex escape at line 1 column 9"},
      {"\"\\ud800", "EOF while parsing a string at line 1 column 7"},
      {"\"\\ud800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\udc00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      // Columns count bytes; a carriage return is an ordinary byte.
      {"[\"\xC3\xA9\", x]", "expected value at line 1 column 8"},
      {"\r\r@", "expected value at line 1 column 3"},
      {"[\n\n  1,\n  ]", "trailing comma at line 4 column 3"},
  };
  for (const Case& c : cases) EXPECT_EQ(read_outcome(c.text), c.expected) << "text: " << c.text;
}

TEST(JsonReader, NumberKindsAndValues) {
  const Case cases[] = {
      {"18446744073709551615", "ok 18446744073709551615"},
      {"18446744073709551616", "ok 1.8446744073709552e+19"},
      {"-9223372036854775808", "ok -9223372036854775808"},
      {"-9223372036854775809", "ok -9.223372036854776e+18"},
      {"-0", "ok -0.0"},
      {"-0.0", "ok -0.0"},
      {"0", "ok 0"},
      {"5", "ok 5"},
      {"5.0", "ok 5.0"},
      {"5e0", "ok 5.0"},
      {"1E2", "ok 100.0"},
      {"0.1", "ok 0.1"},
      {"1e-400", "ok 0.0"},
      {"-1e-400", "ok -0.0"},
      {"0e999999999999", "ok 0.0"},
      {"1e-2147483649", "ok 0.0"},
      {"-1e99999999999", "number out of range at line 1 column 13"},
      // An exponent too long to hold makes a zero that keeps its sign.
      {"-1e-99999999999", "ok -0.0"},
      {"-0e99999999999", "ok -0.0"},
      {"-0.5e-2147483648", "ok -0.0"},
      {"1.7976931348623157e308", "ok 1.7976931348623157e+308"},
      {"123456789012345678901234567890", "ok 1.2345678901234568e+29"},
      // Fraction digits beyond 64 bits of significand are dropped.
      {"0.123456789012345678901234567890", "ok 0.12345678901234568"},
  };
  for (const Case& c : cases) EXPECT_EQ(read_outcome(c.text), c.expected) << "text: " << c.text;
}

// Hex digits and surrogates at both ends of their ranges, and keys with an
// escape or a control character, which reading a key in place must leave to
// the full string reading.
TEST(JsonReader, EscapesAndKeysAtTheirBounds) {
  const Case cases[] = {
      {R"("\u00fF\u00Af\u0009\u0020")", "ok \"\xC3\xBF\xC2\xAF\\t \""},
      {R"("\ud800\udc00\ud800\udfff\udbff\udfff")", "ok \"\xF0\x90\x80\x80\xF0\x90\x8F\xBF\xF4\x8F\xBF\xBF\""},
      {R"("\udbff\ue000")", "lone leading surrogate in hex escape at line 1 column 13"},
      {R"("\udbff\udbff")", "lone leading surrogate in hex escape at line 1 column 13"},
      {R"("\ue000")", "ok \"\xEE\x80\x80\""},
      {R"("\u123)", "EOF while parsing a string at line 1 column 6"},
      {R"("\u123")", "invalid escape at line 1 column 7"},
      {R"({"a\"b":1})", R"(ok {"a\"b":1})"},
      {R"({"a\u0062":1})", R"(ok {"ab":1})"},
      {R"({"a\\":1})", R"(ok {"a\\":1})"},
      {"{\"a\x01\":1}", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 4"},
      {"{\"abcdefghijklmnopqrstuvwxyz\x1f\":1}",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 29"},
  };
  for (const Case& c : cases) EXPECT_EQ(read_outcome(c.text), c.expected) << "text: " << c.text;
}

TEST(JsonReader, ObjectsKeepLastDuplicateInKeyOrder) {
  EXPECT_EQ(read_outcome("{\"b\":1,\"a\":2,\"a\":3}"), "ok {\"a\":3,\"b\":1}");
  EXPECT_EQ(read_outcome("{\"\xC3\xA9\":1,\"z\":2,\"\":3,\"zz\":4}"), "ok {\"\":3,\"z\":2,\"zz\":4,\"\xC3\xA9\":1}");
}

// A caller may hand in a reserved Object, even one still holding members:
// they are dropped, the capacity is kept.
TEST(JsonReader, ObjectMembersReplaceWhatTheTargetHeld) {
  const std::string text = R"({"b": 1, "a": {"c": 2}, "b": 3})";
  Object out;
  out.push_back(Member{"stale", JsonValue::boolean(true)});
  out.reserve(8);
  const Member* buffer = out.data();
  Reader reader(text);
  ASSERT_TRUE(reader.read_object_members(out));
  EXPECT_TRUE(reader.finish());
  EXPECT_EQ(write_compact(JsonValue::object(out)), R"({"a":{"c":2},"b":3})");
  EXPECT_EQ(out.data(), buffer);
  EXPECT_EQ(out.capacity(), 8u);
}

TEST(JsonReader, NestingBudget) {
  std::string ok(127, '[');
  ok += std::string(127, ']');
  EXPECT_EQ(read_outcome(ok).substr(0, 3), "ok ");
  std::string deep(128, '[');
  deep += std::string(128, ']');
  EXPECT_EQ(read_outcome(deep), "recursion limit exceeded at line 1 column 128");
}

TEST(JsonReader, EveryProperPrefixEndsInAnEndOfTextError) {
  const std::string doc = "{\"a\": [1, -2.5e3, \"x\\u00e9\\ud83d\\ude00\", true, false, null], \"b\": {}}";
  ASSERT_TRUE(read_json(doc).ok());
  for (std::size_t n = 0; n < doc.size(); ++n) {
    std::string prefix = doc.substr(0, n);
    Result<JsonValue> r = read_json(prefix);
    ASSERT_FALSE(r.ok()) << prefix;
    EXPECT_EQ(r.failure().message.rfind("EOF while parsing", 0), 0u) << prefix << " -> " << r.failure().message;
    EXPECT_NE(r.failure().message.find(" column " + std::to_string(n)), std::string::npos) << prefix;
  }
}

// Skipped values are reached through an unknown member of a document.
std::string state_outcome(const std::string& unknown_value) {
  Result<documents::State> r = documents::decode_state("{\"skip\":" + unknown_value + ",\"values\":{}}");
  return r.ok() ? "ok" : r.failure().message;
}

TEST(SkippedValues, RelaxedRules) {
  const Case cases[] = {
      {"\"\\ud800\"", "ok"},
      {"1e99999999999999999999", "ok"},
      {"[1,{\"x\":null}]", "ok"},
      {"-", "invalid number at line 1 column 10"},
      {"[1,]", "expected value at line 1 column 12"},
      {"{\"a\":1,}", "key must be a string at line 1 column 16"},
      {"\"a\x01\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 10"},
      {"\"\\uZZ\"}", "invalid escape at line 1 column 15"},
      {"[1 2]", "expected `,` or `]` at line 1 column 12"},
      {"{\"a\" 1}", "expected `:` at line 1 column 14"},
      {"@", "expected value at line 1 column 9"},
  };
  for (const Case& c : cases) EXPECT_EQ(state_outcome(c.text), c.expected) << "value: " << c.text;
  // A NUL after a backslash is no escape, whether the string is skipped or read.
  EXPECT_EQ(state_outcome(std::string("\"\\\0\"", 4)), "invalid escape at line 1 column 11");
  EXPECT_EQ(read_outcome(std::string("\"\\\0\"", 4)), "invalid escape at line 1 column 3");
}

// A document's member names are read in place when they hold no escape;
// one with an escape or a control character is read in full instead.
TEST(DocumentKeys, EscapesAndControlsAreReadInFull) {
  const auto outcome = [](const std::string& text) {
    Result<documents::State> r = documents::decode_state(text);
    return r.ok() ? std::string("ok") : r.failure().message;
  };
  EXPECT_EQ(outcome(R"({"v\u0061lues":{}})"), "ok");
  EXPECT_EQ(outcome(R"({"sk\"ip":1,"values":{}})"), "ok");
  EXPECT_EQ(outcome(R"({"skip\\":1,"values":{}})"), "ok");
  EXPECT_EQ(outcome("{\"va\x01lues\":{}}"),
            "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 5");
}

TEST(SkippedValues, NoNestingLimitAndNoRecursion) {
  std::string balanced = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_EQ(state_outcome(balanced), "ok");
  std::string text = "{\"skip\":" + std::string(1000000, '[');
  Result<documents::State> r = documents::decode_state(text);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().message, "EOF while parsing a list at line 1 column " + std::to_string(text.size()));
}

}  // namespace
}  // namespace orvex::json
