// The reader's numbers against a model that takes one digit at a time, on
// texts built around the lengths where the reader changes its pace: runs of
// eight digits, and the 19th and 20th digit of the significand.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "json/pow10_table.h"
#include "json/reader.h"

namespace orvex::json {
namespace {

struct Model {
  bool ok = true;
  Number number;
};

// The number procedure written plainly: every digit checked against the
// 64-bit limit, dropped digits counted, then the scaling.
Model model_number(const std::string& text) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::size_t i = 0;
  const bool negative = text[i] == '-';
  if (negative) ++i;
  std::uint64_t s = 0;
  std::int64_t e = 0;
  bool full = false;
  bool is_float = false;
  auto take = [&](char c, bool fraction) {
    const unsigned d = static_cast<unsigned>(c - '0');
    if (!full && (s < kMax / 10 || (s == kMax / 10 && d <= kMax % 10))) {
      s = s * 10 + d;
      if (fraction) --e;
    } else {
      full = true;
      if (!fraction) {
        ++e;
        is_float = true;
      }
    }
  };
  if (text[i] == '0') {
    ++i;
  } else {
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') take(text[i++], false);
  }
  full = false;  // the fraction starts its own run of taken digits
  if (i < text.size() && text[i] == '.') {
    is_float = true;
    ++i;
    bool fraction_full = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      const unsigned d = static_cast<unsigned>(text[i++] - '0');
      if (!fraction_full && (s < kMax / 10 || (s == kMax / 10 && d <= kMax % 10))) {
        s = s * 10 + d;
        --e;
      } else {
        fraction_full = true;
      }
    }
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    is_float = true;
    ++i;
    bool exponent_negative = false;
    if (text[i] == '+' || text[i] == '-') exponent_negative = text[i++] == '-';
    std::int64_t x = 0;
    while (i < text.size()) x = x * 10 + (text[i++] - '0');
    e += exponent_negative ? -x : x;
  }
  Model m;
  if (!is_float) {
    if (!negative) {
      m.number = Number::unsigned_integer(s);
      return m;
    }
    if (s >= 1 && s <= (std::uint64_t{1} << 63)) {
      m.number = Number::negative_integer(static_cast<std::int64_t>(0 - s));
      return m;
    }
  }
  double f = static_cast<double>(s);
  while (e < -kMaxPow10 || e > kMaxPow10) {
    if (f == 0.0) break;
    if (e > 0) {
      m.ok = false;
      return m;
    }
    f /= 1e308;
    e += 308;
  }
  if (f != 0.0 || (e >= -kMaxPow10 && e <= kMaxPow10)) {
    if (e >= 0) {
      f *= kPow10[e];
      if (f == std::numeric_limits<double>::infinity()) {
        m.ok = false;
        return m;
      }
    } else {
      f /= kPow10[-e];
    }
  }
  m.number = Number::floating(negative ? -f : f);
  return m;
}

std::string digits(std::mt19937_64& rng, int count, bool may_lead_zero) {
  std::string out;
  for (int k = 0; k < count; ++k) {
    char c = static_cast<char>('0' + rng() % 10);
    if (k == 0 && !may_lead_zero && c == '0') c = '1' + static_cast<char>(rng() % 9);
    out += c;
  }
  return out;
}

void expect_same_number(const std::string& text, const Number& got, const Model& expected);

// Read alone, and followed by more text (where the reader may look at a
// whole word of bytes past the number's end).
void expect_same(const std::string& text) {
  for (const char* after : {"", ",", "}       ", "x0123456789", "\"99999999"}) {
    SCOPED_TRACE(std::string("followed by ") + after);
    const Model expected = model_number(text);
    const std::string followed = text + after;
    Reader r(followed);
    Number got;
    const bool ok = r.read_number(got);
    ASSERT_EQ(ok, expected.ok) << text;
    if (!ok) return;
    EXPECT_EQ(r.offset(), text.size()) << text;
    expect_same_number(text, got, expected);
  }
}

void expect_same_number(const std::string& text, const Number& got, const Model& expected) {
  ASSERT_EQ(static_cast<int>(got.kind), static_cast<int>(expected.number.kind)) << text;
  switch (got.kind) {
    case NumberKind::Unsigned: EXPECT_EQ(got.unsigned_value, expected.number.unsigned_value) << text; break;
    case NumberKind::Negative: EXPECT_EQ(got.negative_value, expected.number.negative_value) << text; break;
    case NumberKind::Float:
      EXPECT_EQ(std::memcmp(&got.float_value, &expected.number.float_value, sizeof(double)), 0)
          << text << ": " << got.float_value << " vs " << expected.number.float_value;
      break;
  }
}

TEST(NumberModel, RunsAroundEightAndTwentyDigits) {
  std::mt19937_64 rng(20261208);
  const int lengths[] = {1, 2, 7, 8, 9, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 24, 25, 30};
  for (int whole : lengths) {
    for (int fraction : {0, 1, 7, 8, 9, 11, 16, 17, 18, 19, 20, 27}) {
      for (int trial = 0; trial < 20; ++trial) {
        std::string text = (trial % 3 == 0 ? "-" : "");
        text += digits(rng, whole, false);
        if (fraction > 0) text += "." + digits(rng, fraction, true);
        if (trial % 4 == 1) text += "e" + std::to_string(static_cast<int>(rng() % 40) - 20);
        expect_same(text);
      }
    }
  }
}

TEST(NumberModel, EdgesOfTheSixtyFourBitSignificand) {
  const char* texts[] = {
      "18446744073709551615",  "18446744073709551616",  "18446744073709551619", "99999999999999999999",
      "-9223372036854775808",  "-9223372036854775809",  "1844674407370955161.5", "1844674407370955161.6",
      "0.18446744073709551615", "0.18446744073709551616", "0.000000000000000000000000123",
      "12345678.12345678",     "1234567812345678.1234", "0.12345678a",          "12345678",
      // Twelve and eleven integer digits leave the fraction seven and eight
      // digits of room in 64 bits: the word step may take eight only in the second.
      "999999999999.99999999", "99999999999.999999999",
      "0.99999999999999999999999", "1e308",             "1e309",                "0.0000000001e-310",
  };
  for (const char* text : texts) {
    std::string t = text;
    // A trailing non-digit stops the number; the model reads up to it.
    const std::size_t stop = t.find('a');
    if (stop != std::string::npos) {
      Reader r(t);
      Number got;
      ASSERT_TRUE(r.read_number(got));
      EXPECT_EQ(r.offset(), stop) << t;
      t.resize(stop);
    }
    expect_same(t);
  }
}

// Every byte that is not a digit, at every place of an eight-digit window,
// must end the number there: the word test may not let a neighbour of the
// digits (':' and '/' sit right beside them) pass as one.
TEST(NumberModel, EveryNonDigitEndsAnEightDigitWindow) {
  for (int place = 0; place < 8; ++place) {
    for (int byte = 0; byte < 256; ++byte) {
      const char c = static_cast<char>(byte);
      if ((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E') continue;
      std::string text = "1234567890123456789";
      text[1 + static_cast<std::size_t>(place)] = c;
      Reader r(text);
      Number got;
      ASSERT_TRUE(r.read_number(got)) << place << " " << byte;
      ASSERT_EQ(r.offset(), 1u + static_cast<std::size_t>(place)) << "byte " << byte << " at " << place;
      ASSERT_EQ(static_cast<int>(got.kind), static_cast<int>(NumberKind::Unsigned));
      EXPECT_EQ(got.unsigned_value, std::stoull(text.substr(0, 1 + static_cast<std::size_t>(place))));
    }
  }
}

}  // namespace
}  // namespace orvex::json
