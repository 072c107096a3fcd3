// The usual spelling of a manifest entry against the general reader: its own reading of
// the usual number spelling gives the reader's double bit for bit, at every
// length around its limits, and anything else is declined or handed to the
// reader's own number procedure.
#include "documents/usual_entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "json/reader.h"

namespace orvex::documents {
namespace {

std::uint64_t bits_of(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

struct GeneralNumber {
  bool ok;
  double value;
  std::size_t length;  // bytes the reader took
};

GeneralNumber general_number(const std::string& text) {
  json::Reader r(text);
  json::Number n;
  if (!r.read_number(n)) return {false, 0.0, 0};
  return {true, n.to_double(), r.offset()};
}

// Number texts around every limit: integer and fraction lengths across one
// and two eight-digit words and the 19-digit budget, leading zeros in the
// fraction, signs, exponents, and malformed spellings.
std::vector<std::string> number_texts() {
  std::mt19937_64 rng(31);
  const auto digits = [&](int n, bool leading_nonzero) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + (i == 0 && leading_nonzero ? 1 + rng() % 9 : rng() % 10));
    return s;
  };
  std::vector<std::string> texts = {"0",   "-0",   "0.0", "-0.0", "1",  "-1", "9007199254740993", "18446744073709551615",
                                    "18446744073709551616", "-9223372036854775808", "-9223372036854775809",
                                    "01",  "-",    "-a",  "1.",   ".5", "1e5", "1.5E-3", "0.1e1", "2.", "-.1"};
  for (int round = 0; round < 30; ++round) {
    for (int whole = 0; whole <= 21; ++whole) {
      for (int fraction = 0; fraction <= 22; ++fraction) {
        std::string t = whole == 0 ? "0" : digits(whole, true);
        if (fraction > 0) t += "." + (round % 3 == 0 ? std::string(fraction / 2, '0') + digits(fraction - fraction / 2, false)
                                                     : digits(fraction, false));
        texts.push_back(round % 2 ? "-" + t : t);
      }
    }
  }
  return texts;
}

// The usual spelling reads on the entry's own path, bit for bit as the reader.
TEST(UsualNumber, MatchesTheReaderBitForBit) {
  for (const std::string& text : number_texts()) {
    const GeneralNumber expected = general_number(text);
    double value = 0.0;
    const char* after = usual_entry_detail::usual_number(text.data(), text.data() + text.size(), value);
    if (after == nullptr) continue;  // declined: the reader reads it
    ASSERT_TRUE(expected.ok) << text;
    EXPECT_EQ(static_cast<std::size_t>(after - text.data()), expected.length) << text;
    EXPECT_EQ(bits_of(value), bits_of(expected.value)) << text;
  }
}

// What generated manifests hold is taken by the entry's own path.
TEST(UsualNumber, TakesTheUsualSpellings) {
  for (const char* text : {"0.151309740830805", "83.04", "-7.5", "0", "-0", "12", "0.0000123", "1234567890123456789",
                           "-0.1234567890123456789"}) {
    double value = 0.0;
    const std::string t = text;
    EXPECT_NE(usual_entry_detail::usual_number(t.data(), t.data() + t.size(), value), nullptr) << text;
  }
  for (const char* text : {"1e5", "01", "1.", "-", "12345678901234567890", "0.12345678901234567890", "1.5E3"}) {
    double value = 0.0;
    const std::string t = text;
    EXPECT_EQ(usual_entry_detail::usual_number(t.data(), t.data() + t.size(), value), nullptr) << text;
  }
}

// Whole entries: every number the reader reads, the entry reads with the
// same value (on its own path or through the reader); every one it
// refuses, the entry declines with the cursor where it was.
TEST(UsualEntry, NumbersAsTheReaderReadsThem) {
  for (const std::string& number : number_texts()) {
    for (const std::string& text : {"{\"Name\": \"n\", \"Weight\": " + number + "}]",
                                    "{\"Weight\":" + number + ",\"Name\":\"n\"}]"}) {
      const GeneralNumber expected = general_number(number);
      json::Reader r(text);
      std::string_view name;
      double value = 0.0;
      const bool read = UsualEntry::read(r, "Name", "Weight", name, value);
      if (!expected.ok || expected.length != number.size()) {
        EXPECT_FALSE(read) << text;
        EXPECT_EQ(r.offset(), 0u) << text;
        continue;
      }
      ASSERT_TRUE(read) << text;
      EXPECT_EQ(name, "n");
      EXPECT_EQ(bits_of(value), bits_of(expected.value)) << text;
      EXPECT_EQ(r.offset(), text.size() - 1) << text;
    }
  }
}

// The entry is declined, with the cursor where it was.
void expect_declined(const char* text) {
  json::Reader r(text);
  std::string_view name;
  double value = 0.0;
  EXPECT_FALSE(UsualEntry::read(r, "Name", "Weight", name, value)) << text;
  EXPECT_EQ(r.offset(), 0u) << text;
}

// Field names are matched exactly, once each.
TEST(UsualEntry, DeclinesOtherFieldNames) {
  for (const char* text : {R"({"Nam": "n", "Weight": 1})", R"({"Names": "n", "Weight": 1})",
                           R"({"N\u0061me": "n", "Weight": 1})", R"({"Name": "n", "Name": 1})",
                           R"({"Name": "a", "Name": "b"})", R"({"Name_:"n", "Weight": 1})",
                           R"({"Weight_:1, "Name": "n"})",
                           R"({"Weight": 1, "Weight": 2})", R"({"name": "n", "Weight": 1})", R"({"Name)",
                           R"({"Name": "n", "Weight": 1, "X": 2})"}) {
    expect_declined(text);
  }
}

// Every byte between the fields is checked: a wrong bracket, separator or
// end is declined, so that the general reader reports it.
TEST(UsualEntry, DeclinesWrongPunctuation) {
  for (const char* text : {R"(["Name": "n", "Weight": 1}])", R"({"Name": "n" "Weight": 1}])",
                           R"({"Name": "n"; "Weight": 1}])", R"({"Name" "n", "Weight": 1}])",
                           R"({"Name"= "n", "Weight": 1}])", R"({"Weight"= 1, "Name": "n"}])",
                           R"({"Name": "n", "Weight": 1])", R"({"Name": "n", "Weight": 1,}])",
                           R"({"Name": "n", "Weight": 1 "X"}])", R"( {"Name": n, "Weight": 1}])"}) {
    expect_declined(text);
  }
  // The same entries spelled right are taken, whitespace anywhere between.
  for (const char* text : {R"({"Name": "n", "Weight": 1}])", "{\t\"Weight\"\n:\r1 ,\"Name\" : \"n\" }]"}) {
    json::Reader r(text);
    std::string_view name;
    double value = 0.0;
    EXPECT_TRUE(UsualEntry::read(r, "Name", "Weight", name, value)) << text;
    EXPECT_EQ(name, "n");
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(r.offset(), std::strlen(text) - 1) << text;
  }
}

}  // namespace
}  // namespace orvex::documents
