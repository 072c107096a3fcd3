// A struct's fields are found by name in any order: the field due next in
// declaration order is tried first, every other order goes through the full
// search. Names that differ in a single byte (in the eight-byte words or in
// the bytes after them) are other, unknown fields.
#include <gtest/gtest.h>

#include <string>

#include "documents/intent_action_state.h"
#include "documents/struct_reader.h"
#include "json/writer.h"

namespace orvex::documents {
namespace {

struct Case {
  std::string text;
  std::string expected;  // "ok <summary>" or the error text
};

std::string constraint_outcome(const std::string& constraint) {
  const std::string text =
      R"({"id": "i", "objective": "o", "mode": "m", "version": "v", "constraints": [)" + constraint + "]}";
  const Result<Intent> r = decode_intent(text);
  if (!r.ok()) return r.failure().message;
  const Constraint& c = r.value().constraints.at(0);
  return "ok " + std::string(c.attribute.view()) + " " + std::string(c.operator_text.view()) + " " +
         json::write_compact(c.value) + " " + std::to_string(c.priority);
}

TEST(StructFields, AnyOrderReadsTheSame) {
  const Case cases[] = {
      {R"({"attribute": "a", "operator": "<=", "value": 1, "priority": 2})", "ok a <= 1 2"},
      {R"({"priority": 2, "value": 1, "operator": "<=", "attribute": "a"})", "ok a <= 1 2"},
      {R"({"value": 1, "attribute": "a", "priority": 2, "operator": "<="})", "ok a <= 1 2"},
      {R"({"attribute": "a", "extra": 0, "operator": "<=", "value": 1, "priority": 2})", "ok a <= 1 2"},
      {R"({"operator": "<=", "attribute": "a", "value": 1, "priority": 2})", "ok a <= 1 2"},
      {R"({"attribute": "a", "operator": "<=", "priority": 2, "value": 1})", "ok a <= 1 2"},
  };
  for (const Case& c : cases) EXPECT_EQ(constraint_outcome(c.text), c.expected) << c.text;
}

TEST(StructFields, NearMissNamesAreOtherFields) {
  const Case cases[] = {
      // the ninth byte, after the first word
      {R"({"attributf": "a", "operator": "<=", "value": 1, "priority": 2})",
       "missing field `attribute` at line 1 column 138"},
      // the last byte of the word
      {R"({"attribute": "a", "operatoR": "<=", "value": 1, "priority": 2})",
       "missing field `operator` at line 1 column 138"},
      // the first byte of the word
      {R"({"attribute": "a", "Operator": "<=", "value": 1, "priority": 2})",
       "missing field `operator` at line 1 column 138"},
      // a byte in a name shorter than a word
      {R"({"attribute": "a", "operator": "<=", "valuE": 1, "priority": 2})",
       "missing field `value` at line 1 column 138"},
      // one byte longer or shorter
      {R"({"attribute": "a", "operator": "<=", "value": 1, "priorityy": 2})",
       "missing field `priority` at line 1 column 139"},
      {R"({"attribut": "a", "operator": "<=", "value": 1, "priority": 2})",
       "missing field `attribute` at line 1 column 137"},
  };
  for (const Case& c : cases) EXPECT_EQ(constraint_outcome(c.text), c.expected) << c.text;
}

TEST(StructFields, DuplicatesInAndOutOfOrder) {
  const Case cases[] = {
      {R"({"attribute": "a", "attribute": "b"})", "duplicate field `attribute` at line 1 column 105"},
      {R"({"attribute": "a", "operator": "<=", "attribute": "b"})",
       "duplicate field `attribute` at line 1 column 123"},
      {R"({"priority": 1, "value": 1, "priority": 2})", "duplicate field `priority` at line 1 column 113"},
  };
  for (const Case& c : cases) EXPECT_EQ(constraint_outcome(c.text), c.expected) << c.text;

  const Result<Intent> r = decode_intent(R"({"mode": "m", "id": "i", "mode": "n"})");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().message, "duplicate field `mode` at line 1 column 31");
}

// The word compares of names against a byte-by-byte model: every length
// up to several words, a difference at every position, high bytes too.
TEST(StructFields, NameComparisonMatchesAByteByByteOne) {
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string a(n, 'a');
    for (std::size_t i = 0; i < n; ++i) a[i] = static_cast<char>('a' + i % 26);
    std::string b = a;
    EXPECT_TRUE(detail::same_bytes(a, b)) << n;
    for (std::size_t at = 0; at < n; ++at) {
      for (char other : {'\x00', '\xff', static_cast<char>(a[at] ^ 0x20)}) {
        b = a;
        b[at] = other;
        EXPECT_FALSE(detail::same_bytes(a, b)) << n << " at " << at;
        EXPECT_FALSE(detail::same_bytes(b, a)) << n << " at " << at;
      }
    }
    EXPECT_FALSE(detail::same_bytes(a, a + "a")) << n;
    if (n > 0) EXPECT_FALSE(detail::same_bytes(a, std::string_view(a).substr(1))) << n;
  }
}

}  // namespace
}  // namespace orvex::documents
