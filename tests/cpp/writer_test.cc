#include "json/writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvex::json {
namespace {

using namespace std::string_view_literals;

JsonValue str(std::string_view s) { return JsonValue::string(std::string(s)); }
JsonValue num(std::uint64_t u) { return JsonValue::unsigned_integer(u); }
JsonValue flt(double d) { return JsonValue::floating(d); }

JsonValue arr(std::vector<JsonValue> elements) { return JsonValue::array(std::move(elements)); }

JsonValue obj(std::vector<std::pair<std::string, JsonValue>> members) {
  std::vector<Member> list;
  for (auto& [key, value] : members) list.push_back(Member{key, std::move(value)});
  return JsonValue::object(make_object(std::move(list)));
}

struct Case {
  JsonValue value;
  std::string_view expected;
};

void expect_all(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(write_compact(c.value), c.expected);
}

TEST(CompactWriter, Literals) {
  expect_all({
      {JsonValue(), "null"sv},
      {JsonValue::boolean(true), "true"sv},
      {JsonValue::boolean(false), "false"sv},
  });
}

TEST(CompactWriter, Integers) {
  expect_all({
      {num(0), "0"sv},
      {num(7), "7"sv},
      {num(18446744073709551615u), "18446744073709551615"sv},
      {JsonValue::negative_integer(-1), "-1"sv},
      {JsonValue::negative_integer(std::numeric_limits<std::int64_t>::min()),
       "-9223372036854775808"sv},
  });
}

TEST(CompactWriter, FloatsAndNonFiniteAsNull) {
  const double inf = std::numeric_limits<double>::infinity();
  expect_all({
      {flt(1.0), "1.0"sv},
      {flt(-0.0), "-0.0"sv},
      {flt(100.0), "100.0"sv},
      {flt(0.1), "0.1"sv},
      {flt(12.5), "12.5"sv},
      {flt(1e16), "1e+16"sv},
      {flt(18446744073709551616.0), "1.8446744073709552e+19"sv},
      {flt(inf), "null"sv},
      {flt(-inf), "null"sv},
      {flt(std::numeric_limits<double>::quiet_NaN()), "null"sv},
  });
}

TEST(CompactWriter, StringShortEscapes) {
  expect_all({
      {str(""), R"("")"sv},
      {str("abc"), R"("abc")"sv},
      {str("a\"b\\c"), R"("a\"b\\c")"sv},
      {str("\b\t\n\f\r"), R"("\b\t\n\f\r")"sv},
      {str("x\ny"), R"("x\ny")"sv},
  });
}

TEST(CompactWriter, StringOtherControlsAsLowercaseUnicodeEscape) {
  expect_all({
      {str("\0"sv), R"("\u0000")"sv},
      {str("\x01"), R"("\u0001")"sv},
      {str("\x0b"), R"("\u000b")"sv},
      {str("\x1f"), R"("\u001f")"sv},
      {str("\x01\t\xc3\xa9"), "\"\\u0001\\t\xc3\xa9\""sv},
  });
}

TEST(CompactWriter, StringEverythingElseRaw) {
  expect_all({
      {str("\x7f"), "\"\x7f\""sv},
      {str("a/b"), R"("a/b")"sv},
      {str("'"), R"("'")"sv},
      {str("\xc2\xa0\xe2\x80\xa8\xf0\x9f\x98\x80"), "\"\xc2\xa0\xe2\x80\xa8\xf0\x9f\x98\x80\""sv},
      {str("\xff\xfe"), "\"\xff\xfe\""sv},  // bytes are never judged as UTF-8 here
  });
}

// Each control byte without a short escape, checked against an independent
// spelling of \u00xx.
TEST(CompactWriter, EveryControlByte) {
  const std::string_view short_escapes[] = {"\\b", "\\t", "\\n", "\\f", "\\r"};
  const char short_bytes[] = {'\b', '\t', '\n', '\f', '\r'};
  for (int byte = 0; byte < 0x20; ++byte) {
    std::string expected = "\"";
    bool has_short = false;
    for (int i = 0; i < 5; ++i) {
      if (short_bytes[i] == byte) {
        expected += short_escapes[i];
        has_short = true;
      }
    }
    if (!has_short) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      expected += escape;
    }
    expected += '"';
    EXPECT_EQ(write_compact(str(std::string(1, static_cast<char>(byte)))), expected) << byte;
  }
}

TEST(CompactWriter, Arrays) {
  expect_all({
      {arr({}), "[]"sv},
      {arr({num(1)}), "[1]"sv},
      {arr({num(1), str("a"), JsonValue(), flt(2.5)}), R"([1,"a",null,2.5])"sv},
      {arr({arr({arr({})}), arr({})}), "[[[]],[]]"sv},
  });
}

TEST(CompactWriter, ObjectsInAscendingKeyOrder) {
  expect_all({
      {obj({}), "{}"sv},
      {obj({{"b", num(1)}, {"a", num(2)}, {"a", num(3)}}), R"({"a":3,"b":1})"sv},
      {obj({{"a", num(1)}, {"B", num(2)}, {"ab", num(3)}}), R"({"B":2,"a":1,"ab":3})"sv},
      {obj({{"\xc3\xa9", num(1)}, {"z", num(2)}}), "{\"z\":2,\"\xc3\xa9\":1}"sv},
      {obj({{"q\"\n", JsonValue::boolean(true)}}), R"({"q\"\n":true})"sv},
      {obj({{"k", arr({obj({{"x", JsonValue()}})})}}), R"({"k":[{"x":null}]})"sv},
  });
}

TEST(CompactWriter, WriteObjectKeepsCallerOrder) {
  const Object record = {
      Member{"timestamp", str("t")},
      Member{"intent_id", str("i")},
      Member{"allowed", JsonValue::boolean(false)},
  };
  std::string out;
  write_object(record, out);
  EXPECT_EQ(out, R"({"timestamp":"t","intent_id":"i","allowed":false})");
}

TEST(CompactWriter, AppendsToExistingText) {
  std::string out = "x=";
  write_compact(arr({num(1)}), out);
  write_string("a\tb", out);
  EXPECT_EQ(out, R"(x=[1]"a\tb")");
}

// A string with nothing to escape goes out in one piece, one with an escape
// piece by piece; both after text already there, at lengths around the
// scan's blocks, the escape at the first, a middle and the last byte.
TEST(CompactWriter, PlainAndEscapedStringsAfterExistingText) {
  for (const std::size_t length : {0, 1, 7, 8, 15, 16, 17, 31, 33}) {
    const std::string plain(length, 'p');
    std::string out = "[";
    write_string(plain, out);
    EXPECT_EQ(out, "[\"" + plain + "\"") << length;
    for (std::size_t at = 0; at < length; at += (length > 2 ? length / 2 : 1)) {
      for (const std::size_t place : {at, length - 1}) {
        std::string text = plain;
        text[place] = '\n';
        out = "[";
        write_string(text, out);
        EXPECT_EQ(out, "[\"" + plain.substr(0, place) + "\\n" + plain.substr(place + 1) + "\"") << length << " " << place;
      }
    }
  }
}

TEST(CompactWriter, LongStringRunsCopiedIntact) {
  std::string text(10000, 'a');
  text[5000] = '"';
  text[9999] = '\x01';
  std::string expected = "\"" + std::string(5000, 'a') + "\\\"" + std::string(4998, 'a') +
                         "\\u0001\"";
  EXPECT_EQ(write_compact(str(text)), expected);
}

}  // namespace
}  // namespace orvex::json
