// An intent's strings: viewed in the caller's text when written without
// escapes, decoded into storage of their own otherwise. Both kinds must read
// the same, fail at the same places, and stay valid when documents are
// copied, moved or stored in growing vectors.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "documents/field_text.h"
#include "documents/intent_action_state.h"

namespace orvex::documents {
namespace {

bool lies_within(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

std::string intent_text(std::string_view id, std::string_view objective, std::string_view attribute,
                        std::string_view op) {
  return std::string(R"({"id": ")") + std::string(id) + R"(", "objective": )" + std::string(objective) +
         R"(, "mode": "strict", "version": "1.2", "constraints": [{"attribute": ")" + std::string(attribute) +
         R"(", "operator": ")" + std::string(op) + R"(", "value": 5, "priority": 1}]})";
}

struct StringCase {
  const char* name;
  const char* id;         // as written between the quotes
  const char* objective;  // a JSON value as written
  const char* attribute;  // as written between the quotes
  const char* op;         // as written between the quotes
  std::string expected_id;
  std::string expected_objective;
  std::string expected_attribute;
  std::string expected_op;
};

TEST(IntentStrings, EscapedAndUnescapedReadTheSame) {
  const StringCase cases[] = {
      {"plain", "intent-42", R"("Restock office supplies")", "amount", "<=", "intent-42", "Restock office supplies",
       "amount", "<="},
      {"empty strings", "", R"("")", "", "", "", "", "", ""},
      {"escapes", R"(a\u0062c)", R"("line\nbreak \"quoted\"")", R"(amo\u0075nt)", R"(\u003c=)", "abc",
       "line\nbreak \"quoted\"", "amount", "<="},
      {"surrogate pair", R"(\ud83d\ude00)", R"("\/")", R"(\\)", R"(\t)", "\xF0\x9F\x98\x80", "/", "\\", "\t"},
      {"non-ASCII written as it stands", "caf\xC3\xA9", R"("\u00e9t\u00e9")", "\xE2\x82\xAC", "==", "caf\xC3\xA9",
       "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", "=="},
      {"objective of another type", "x", R"({"b": [1, 2.50], "a": null})", "a", "==", "x",
       R"({"a":null,"b":[1,2.5]})", "a", "=="},
      {"objective a number", "x", "17", "a", "==", "x", "17", "a", "=="},
      {"long strings", "an-identifier-longer-than-any-inline-buffer", R"("an objective longer than that too")",
       "an_attribute_name_that_is_long", ">=", "an-identifier-longer-than-any-inline-buffer",
       "an objective longer than that too", "an_attribute_name_that_is_long", ">="},
  };
  for (const StringCase& c : cases) {
    const std::string text = intent_text(c.id, c.objective, c.attribute, c.op);
    const Result<Intent> r = decode_intent(text);
    ASSERT_TRUE(r.ok()) << c.name << ": " << r.failure().message;
    const Intent& intent = r.value();
    EXPECT_EQ(intent.id.view(), c.expected_id) << c.name;
    EXPECT_EQ(intent.objective.view(), c.expected_objective) << c.name;
    EXPECT_EQ(intent.mode.view(), "strict") << c.name;
    EXPECT_EQ(intent.version.view(), "1.2") << c.name;
    ASSERT_EQ(intent.constraints.size(), 1u) << c.name;
    EXPECT_EQ(intent.constraints[0].attribute.view(), c.expected_attribute) << c.name;
    EXPECT_EQ(intent.constraints[0].operator_text.view(), c.expected_op) << c.name;
  }
}

// The copy-free path is taken exactly for strings without escapes: their
// bytes are the text's own, and an escaped string's are not.
TEST(IntentStrings, UnescapedStringsViewTheText) {
  const std::string text = intent_text("plain-id", R"("a\u0062")", R"(\u0061)", "<=");
  const Result<Intent> r = decode_intent(text);
  ASSERT_TRUE(r.ok()) << r.failure().message;
  const Intent& intent = r.value();
  EXPECT_TRUE(lies_within(intent.id.view(), text));
  EXPECT_TRUE(lies_within(intent.mode.view(), text));
  EXPECT_TRUE(lies_within(intent.constraints[0].operator_text.view(), text));
  EXPECT_FALSE(lies_within(intent.objective.view(), text));
  EXPECT_FALSE(lies_within(intent.constraints[0].attribute.view(), text));
  EXPECT_EQ(intent.objective.view(), "ab");
  EXPECT_EQ(intent.constraints[0].attribute.view(), "a");
}

// A string that cannot be viewed falls back to the full reader, whose
// error and position must be the same whether the fault is the string's
// first special byte or comes after an escape.
TEST(IntentStrings, FaultyStringsFailInPlace) {
  struct ErrorCase {
    std::string text;
    std::string expected;
  };
  const ErrorCase cases[] = {
      {R"({"id": "ab\q"})", "invalid escape at line 1 column 12"},
      {R"({"id": "a\nb\q"})", "invalid escape at line 1 column 14"},
      {R"({"id": "abc)", "EOF while parsing a string at line 1 column 11"},
      {R"({"id": "a\"bc)", "EOF while parsing a string at line 1 column 13"},
      {"{\"id\": \"a\x01\"}", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 10"},
      {"{\"id\": \"\\u0041\x1f\"}",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 15"},
      {R"({"id": "x", "objective": "\ud800"})", "unexpected end of hex escape at line 1 column 33"},
      {R"({"id": 5})", "invalid type: integer `5`, expected a string at line 1 column 8"},
      {R"(["a", "b", "c", "\u12", []])", "invalid escape at line 1 column 23"},
  };
  for (const ErrorCase& c : cases) {
    const Result<Intent> r = decode_intent(c.text);
    ASSERT_FALSE(r.ok()) << c.text;
    EXPECT_EQ(r.failure().message, c.expected) << c.text;
  }
}

// Owned texts live on the heap and are copied deeply; views are copied as
// views. Either survives the vector regrowth and the moves of a document.
TEST(FieldText, CopiesAndMovesKeepTheText) {
  const std::string text = intent_text(R"(esc\u0061ped-and-long-enough-for-the-heap)", R"("o")", R"(\u0061)", "<=");
  Result<Intent> r = decode_intent(text);
  ASSERT_TRUE(r.ok()) << r.failure().message;
  std::vector<Intent> intents;
  for (int i = 0; i < 9; ++i) intents.push_back(r.value());  // regrows and moves several times
  Intent moved = std::move(r.value());
  for (const Intent& copy : intents) {
    EXPECT_EQ(copy.id.view(), "escaped-and-long-enough-for-the-heap");
    EXPECT_NE(copy.id.view().data(), moved.id.view().data());  // a copy of its own
    EXPECT_EQ(copy.objective.view(), "o");
    EXPECT_EQ(copy.objective.view().data(), moved.objective.view().data());  // the same view
    EXPECT_EQ(copy.constraints[0].attribute.view(), "a");
  }
  EXPECT_EQ(moved.id.view(), "escaped-and-long-enough-for-the-heap");

  FieldText owned("short");
  FieldText viewed = FieldText::in_text(text);
  FieldText target = owned;
  EXPECT_EQ(target.view(), "short");
  target = viewed;  // an owned text becomes a view
  EXPECT_EQ(target.view().data(), text.data());
  target = owned;  // and back
  EXPECT_EQ(target.view(), "short");
  EXPECT_NE(target.view().data(), owned.view().data());
  const FieldText& itself = target;
  target = itself;
  EXPECT_EQ(target.view(), "short");
  EXPECT_TRUE(target == owned);
  EXPECT_FALSE(target == viewed);
  EXPECT_TRUE(std::string_view("short") == target);
  EXPECT_TRUE(FieldText("x") == "x");
  EXPECT_EQ(FieldText().view(), "");
}

}  // namespace
}  // namespace orvex::documents
