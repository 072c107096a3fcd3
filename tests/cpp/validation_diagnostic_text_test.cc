#include "validation/diagnostic_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "validation_test_values.h"

namespace orvex::validation {
namespace {

using namespace test_values;

struct DiagnosticCase {
  std::string name;
  JsonValue value;
  std::string expected;
};

std::string diagnostic(const JsonValue& value) {
  std::string out;
  append_diagnostic_text(value, out);
  return out;
}

void check(const std::vector<DiagnosticCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(diagnostic(c.value), c.expected) << c.name;
}

TEST(DiagnosticText, NullAndBooleans) {
  check({
      {"null", Null(), "Null"},
      {"true", B(true), "Bool(true)"},
      {"false", B(false), "Bool(false)"},
  });
}

TEST(DiagnosticText, IntegersAsDecimalDigits) {
  check({
      {"zero", U(0), "Number(0)"},
      {"100", U(100), "Number(100)"},
      {"largest unsigned", U(std::numeric_limits<std::uint64_t>::max()), "Number(18446744073709551615)"},
      {"-7", N(-7), "Number(-7)"},
      {"smallest negative in full", N(std::numeric_limits<std::int64_t>::min()), "Number(-9223372036854775808)"},
  });
}

TEST(DiagnosticText, FloatsKeepTheWriterForm) {
  check({
      {"integral float", F(100.0), "Number(100.0)"},
      {"zero float", F(0.0), "Number(0.0)"},
      {"negative zero", F(-0.0), "Number(-0.0)"},
      {"fraction", F(12.5), "Number(12.5)"},
      {"small", F(0.00001), "Number(0.00001)"},
      {"exponent", F(1e16), "Number(1e+16)"},
      {"negative exponent", F(1.2345e-7), "Number(1.2345e-7)"},
  });
}

TEST(DiagnosticText, StringsAsQuotedText) {
  check({
      {"plain", S("eu"), "String(\"eu\")"},
      {"empty", S(""), "String(\"\")"},
      {"numeric text", S("100"), "String(\"100\")"},
      {"quote backslash line feed", S("\"\\\n"), "String(\"\\\"\\\\\\n\")"},
      {"apostrophe unescaped", S("it's"), "String(\"it's\")"},
      {"precomposed letter unchanged", S("caf\xC3\xA9"), "String(\"caf\xC3\xA9\")"},
      {"combining mark escaped", S("cafe\xCC\x81"), "String(\"cafe\\u{301}\")"},
      {"NUL", S(std::string("a\0b", 3)), "String(\"a\\0b\")"},
      {"tab and carriage return", S("\t\r"), "String(\"\\t\\r\")"},
  });
}

TEST(DiagnosticText, Arrays) {
  check({
      {"empty", A({}), "Array []"},
      {"two elements", A({U(1), S("a")}), "Array [Number(1), String(\"a\")]"},
      {"with null", A({U(1), Null()}), "Array [Number(1), Null]"},
      {"nested", A({A({}), A({B(false)})}), "Array [Array [], Array [Bool(false)]]"},
  });
}

TEST(DiagnosticText, ObjectsInAscendingKeyOrder) {
  check({
      {"empty", O({}), "Object {}"},
      {"one member", O({{"a", U(1)}}), "Object {\"a\": Number(1)}"},
      {"members", O({{"a", U(1)}, {"b", A({Null()})}}), "Object {\"a\": Number(1), \"b\": Array [Null]}"},
      {"written b before a", O({{"b", U(2)}, {"a", U(1)}}), "Object {\"a\": Number(1), \"b\": Number(2)}"},
      {"key needing escapes", O({{"q\"\n", Null()}}), "Object {\"q\\\"\\n\": Null}"},
      {"nested", A({O({{"k", O({{"z", F(1.5)}, {"y", S("v")}})}})}),
       "Array [Object {\"k\": Object {\"y\": String(\"v\"), \"z\": Number(1.5)}}]"},
  });
}

TEST(DiagnosticText, DeepestNestingTheReaderAllows) {
  constexpr int kDepth = 127;
  JsonValue value = A({});
  std::string expected = "Array []";
  for (int level = 1; level < kDepth; ++level) {
    value = A({value});
    expected = "Array [" + expected + "]";
  }
  EXPECT_EQ(diagnostic(value), expected);
}

TEST(DiagnosticText, AppendsToWhatIsThere) {
  std::string out = "amount <= ";
  append_diagnostic_text(U(100), out);
  EXPECT_EQ(out, "amount <= Number(100)");
}

}  // namespace
}  // namespace orvex::validation
