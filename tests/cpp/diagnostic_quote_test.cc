#include "json/diagnostic_quote.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "json/unicode_table.h"

namespace orvex::json {
namespace {

using namespace std::string_view_literals;

std::string quoted(std::string_view text) {
  std::string out;
  append_diagnostic_string(text, out);
  return out;
}

std::string char_literal(std::uint32_t code_point) {
  std::string out;
  append_diagnostic_char(code_point, out);
  return out;
}

struct Case {
  std::string_view input;  // UTF-8 (or deliberately broken) bytes
  std::string_view expected;
};

void expect_all(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(quoted(c.input), c.expected) << "input " << c.input;
}

TEST(DiagnosticQuote, PlainAscii) {
  expect_all({
      {""sv, R"("")"sv},
      {"abc"sv, R"("abc")"sv},
      {"it's"sv, R"("it's")"sv},
      {"a b/c~"sv, R"("a b/c~")"sv},
  });
}

TEST(DiagnosticQuote, ShortEscapes) {
  expect_all({
      {"\0"sv, R"("\0")"sv},
      {"a\0b"sv, R"("a\0b")"sv},
      {"\t\r\n"sv, R"("\t\r\n")"sv},
      {"\\"sv, R"("\\")"sv},
      {"\""sv, R"("\"")"sv},
      {"\"\\\n"sv, R"("\"\\\n")"sv},
  });
}

TEST(DiagnosticQuote, NonPrintableAsHexEscape) {
  expect_all({
      {"\x07"sv, R"("\u{7}")"sv},
      {"\x1b"sv, R"("\u{1b}")"sv},
      {"\x7f"sv, R"("\u{7f}")"sv},
      {"\x08\x0c\x0b"sv, R"("\u{8}\u{c}\u{b}")"sv},
      {"\xc2\x85"sv, R"("\u{85}")"sv},              // Cc
      {"\xc2\xa0"sv, R"("\u{a0}")"sv},              // Zs
      {"\xc2\xad"sv, R"("\u{ad}")"sv},              // Cf
      {"\xe2\x80\x8b"sv, R"("\u{200b}")"sv},        // Cf
      {"\xef\xbb\xbf"sv, R"("\u{feff}")"sv},        // Cf
      {"\xe3\x80\x80"sv, R"("\u{3000}")"sv},        // Zs
      {"\xe1\x9a\x80"sv, R"("\u{1680}")"sv},        // Zs
      {"\xe2\x80\xa8\xe2\x80\xa9"sv, R"("\u{2028}\u{2029}")"sv},  // Zl, Zp
      {"\xee\x80\x80"sv, R"("\u{e000}")"sv},        // Co
      {"\xf4\x8f\xbf\xbf"sv, R"("\u{10ffff}")"sv},  // Co (plane 16)
      {"\xcd\xb8"sv, R"("\u{378}")"sv},             // unassigned
      {"\xf0\xb2\x8e\xb0"sv, R"("\u{323b0}")"sv},   // unassigned, just past a CJK block
  });
}

TEST(DiagnosticQuote, GraphemeExtendAsHexEscape) {
  expect_all({
      {"\xcc\x81"sv, R"("\u{301}")"sv},
      {"e\xcc\x81"sv, R"("e\u{301}")"sv},
      {"\xe2\x80\x8c"sv, R"("\u{200c}")"sv},      // ZWNJ, a Cf extender
      {"\xef\xbe\x9e"sv, R"("\u{ff9e}")"sv},      // Lm, printable yet extending
      {"\xf3\xa0\x80\xa0"sv, R"("\u{e0020}")"sv},  // tag space
  });
}

TEST(DiagnosticQuote, PrintableCharactersUnchanged) {
  expect_all({
      {"\xc3\xa9"sv, "\"\xc3\xa9\""sv},                   // precomposed é
      {"\xc3\xbf"sv, "\"\xc3\xbf\""sv},                   // ÿ
      {"\xe4\xb8\x80\xe9\xbf\xbf"sv, "\"\xe4\xb8\x80\xe9\xbf\xbf\""sv},  // CJK block ends
      {"\xea\xb0\x80"sv, "\"\xea\xb0\x80\""sv},           // first Hangul syllable
      {"\xf0\x9f\x98\x80"sv, "\"\xf0\x9f\x98\x80\""sv},   // emoji
      {"\xf0\xb1\x8d\x90"sv, "\"\xf0\xb1\x8d\x90\""sv},   // U+31350, assigned in 15.0
      {"\xe2\x80\x8d"sv, R"("\u{200d}")"sv},              // ZWJ is Cf, not printable
  });
}

TEST(DiagnosticQuote, InvalidBytesEscapedOneByOne) {
  expect_all({
      {"\xff"sv, R"("\u{ff}")"sv},
      {"a\x80z"sv, R"("a\u{80}z")"sv},
      {"\xc0\xaf"sv, R"("\u{c0}\u{af}")"sv},                      // overlong
      {"\xe0\x80\xaf"sv, R"("\u{e0}\u{80}\u{af}")"sv},            // overlong
      {"\xed\xa0\x80"sv, R"("\u{ed}\u{a0}\u{80}")"sv},            // surrogate
      {"\xf4\x90\x80\x80"sv, R"("\u{f4}\u{90}\u{80}\u{80}")"sv},  // above U+10FFFF
      {"\xf5\x80"sv, R"("\u{f5}\u{80}")"sv},
      {"\xe2\x82z"sv, R"("\u{e2}\u{82}z")"sv},                    // cut short
      {"\xf0\x9f\x98"sv, R"("\u{f0}\u{9f}\u{98}")"sv},            // cut by the end
      {"\xc3\xa9\xc3"sv, "\"\xc3\xa9\\u{c3}\""sv},
  });
}

TEST(DiagnosticQuote, NeverReadsPastTheView) {
  // The view ends inside a sequence whose remaining bytes follow in memory.
  const char bytes[] = "\xe2\x82\xac";
  EXPECT_EQ(quoted(std::string_view(bytes, 2)), R"("\u{e2}\u{82}")");
  EXPECT_EQ(quoted(std::string_view(bytes, 3)), "\"\xe2\x82\xac\"");
}

TEST(DiagnosticQuote, AppendsToExistingText) {
  std::string out = "invalid type: string ";
  append_diagnostic_string("x", out);
  EXPECT_EQ(out, R"(invalid type: string "x")");
}

TEST(CharLiteral, SameNotationInSingleQuotes) {
  const struct {
    std::uint32_t code_point;
    std::string_view expected;
  } cases[] = {
      {'g', R"('g')"sv},
      {'x', R"('x')"sv},
      {' ', R"(' ')"sv},
      {'\t', R"('\t')"sv},
      {'\r', R"('\r')"sv},
      {'\n', R"('\n')"sv},
      {0, R"('\0')"sv},
      {'\\', R"('\\')"sv},
      {'\'', R"('\'')"sv},
      {'"', R"('"')"sv},
      {0x07, R"('\u{7}')"sv},
      {0x7f, R"('\u{7f}')"sv},
      {0x80, R"('\u{80}')"sv},
      {0xa0, R"('\u{a0}')"sv},
      {0xe9, "'\xc3\xa9'"sv},
      {0xff, "'\xc3\xbf'"sv},
      {0x301, R"('\u{301}')"sv},
      {0x1f600, "'\xf0\x9f\x98\x80'"sv},
      {0xd800, R"('\u{d800}')"sv},      // a surrogate is no character to encode
      {0x110000, R"('\u{110000}')"sv},  // beyond Unicode
  };
  for (const auto& c : cases) {
    EXPECT_EQ(char_literal(c.code_point), c.expected) << "U+" << std::hex << c.code_point;
  }
}

// Boundaries of the generated tables, including the ranges that the
// database lists only as First/Last pairs.
TEST(UnicodeTable, PrintableBoundaries) {
  const struct {
    char32_t code_point;
    bool printable;
  } cases[] = {
      {0x00, false},    {0x1f, false},    {0x20, true},      {0x7e, true},
      {0x7f, false},    {0x9f, false},    {0xa0, false},     {0xa1, true},
      {0x377, true},    {0x378, false},   {0x3400, true},    {0x4dbf, true},
      {0x4e00, true},   {0x9fff, true},   {0xac00, true},    {0xd7a3, true},
      {0xd7a4, false},  {0xd800, false},  {0xdfff, false},   {0xe000, false},
      {0xf8ff, false},  {0xf900, true},   {0xfffd, true},    {0xfffe, false},
      {0x20000, true},  {0x2a6df, true},  {0x31350, true},   {0x323af, true},
      {0x323b0, false}, {0xe0001, false}, {0xe0100, true},   {0xf0000, false},
      {0x10ffff, false}, {0x110000, false}, {0xffffffff, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unicode::is_printable(c.code_point), c.printable)
        << "U+" << std::hex << static_cast<std::uint32_t>(c.code_point);
  }
}

TEST(UnicodeTable, GraphemeExtendBoundaries) {
  const struct {
    char32_t code_point;
    bool extend;
  } cases[] = {
      {'a', false},     {0x2ff, false},   {0x300, true},     {0x36f, true},
      {0x370, false},   {0x200b, false},  {0x200c, true},    {0x200d, false},
      {0xff9d, false},  {0xff9e, true},   {0xff9f, true},    {0xe001f, false},
      {0xe0020, true},  {0xe007f, true},  {0xe0100, true},   {0xe01ef, true},
      {0xe01f0, false}, {0x10ffff, false}, {0x110000, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unicode::is_grapheme_extend(c.code_point), c.extend)
        << "U+" << std::hex << static_cast<std::uint32_t>(c.code_point);
  }
}

}  // namespace
}  // namespace orvex::json
