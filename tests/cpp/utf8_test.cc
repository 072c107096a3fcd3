// The one table of well-formed UTF-8 against a model built the other way
// round: every scalar value encoded by a plain encoder written here, every
// prefix of those encodings marked. A sequence is well-formed when it is
// one of the encodings; its maximal subpart is its longest marked prefix.
#include "json/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::json {
namespace {

std::string encode(std::uint32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 + c / 64);
    s += static_cast<char>(0x80 + c % 64);
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 + c / 4096);
    s += static_cast<char>(0x80 + c / 64 % 64);
    s += static_cast<char>(0x80 + c % 64);
  } else {
    s += static_cast<char>(0xF0 + c / 262144);
    s += static_cast<char>(0x80 + c / 4096 % 64);
    s += static_cast<char>(0x80 + c / 64 % 64);
    s += static_cast<char>(0x80 + c % 64);
  }
  return s;
}

std::uint32_t key(std::string_view bytes) {
  std::uint32_t k = 0;
  for (char b : bytes) k = k << 8 | static_cast<unsigned char>(b);
  return k;
}

// prefixes[n - 1] marks every n-byte start (n <= 3) of a well-formed
// encoding; whole[n - 1] marks the n-byte encodings themselves.
struct Model {
  std::vector<bool> prefixes[3] = {std::vector<bool>(1u << 8), std::vector<bool>(1u << 16),
                                   std::vector<bool>(1u << 24)};
  std::vector<bool> whole[3] = {std::vector<bool>(1u << 8), std::vector<bool>(1u << 16),
                                std::vector<bool>(1u << 24)};
  Model() {
    for (std::uint32_t c = 0; c <= 0x10FFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const std::string e = encode(c);
      for (std::size_t n = 1; n <= e.size() && n <= 3; ++n) prefixes[n - 1][key(e.substr(0, n))] = true;
      if (e.size() <= 3) whole[e.size() - 1][key(e)] = true;
    }
  }
};

const Model& model() {
  static const Model m;
  return m;
}

// Every text of one, two and three bytes: decoded exactly when it starts
// with a well-formed sequence, otherwise its maximal subpart reported.
TEST(Utf8, EveryShortTextAgainstTheModel) {
  const Model& m = model();
  std::string text(3, '\0');
  for (std::uint32_t k = 0; k < (1u << 24); ++k) {
    text[0] = static_cast<char>(k >> 16);
    text[1] = static_cast<char>(k >> 8);
    text[2] = static_cast<char>(k);
    std::size_t expected_length = 0;
    for (std::size_t n = 1; n <= 3; ++n) {
      if (m.whole[n - 1][key(std::string_view(text).substr(0, n))]) expected_length = n;
    }
    std::size_t expected_subpart = 1;
    for (std::size_t n = 2; n <= 3; ++n) {
      if (m.prefixes[n - 1][key(std::string_view(text).substr(0, n))]) expected_subpart = n;
    }
    const Utf8Char got = decode_utf8(text, 0);
    ASSERT_EQ(got.length, expected_length) << std::hex << k;
    if (expected_length == 0) ASSERT_EQ(got.maximal_subpart, expected_subpart) << std::hex << k;
  }
}

// Four-byte sequences: a well-formed three-byte start takes any
// continuation byte, and nothing else.
TEST(Utf8, FourByteSequences) {
  const Model& m = model();
  for (std::uint32_t start = 0xF00000; start < 0xF80000; ++start) {
    for (unsigned last : {0x00u, 0x7Fu, 0x80u, 0x9Au, 0xBFu, 0xC0u, 0xFFu}) {
      std::string text = {static_cast<char>(start >> 16), static_cast<char>(start >> 8), static_cast<char>(start),
                          static_cast<char>(last)};
      const bool prefix = m.prefixes[2][start];
      const bool continuation = last >= 0x80 && last <= 0xBF;
      const Utf8Char got = decode_utf8(text, 0);
      ASSERT_EQ(got.length, prefix && continuation ? 4u : 0u) << std::hex << start << ' ' << last;
      if (prefix && !continuation) ASSERT_EQ(got.maximal_subpart, 3u) << std::hex << start;
      if (got.length == 4) {
        const std::uint32_t c = ((start >> 16) & 0x07) << 18 | ((start >> 8) & 0x3F) << 12 | (start & 0x3F) << 6 |
                                (last & 0x3F);
        EXPECT_EQ(encode(c), text);
        EXPECT_EQ(got.code_point, c);
      }
    }
  }
}

// The example of the Unicode Standard's section on U+FFFD substitution:
// each maximal subpart stands for one replacement.
TEST(Utf8, MaximalSubpartsOfTheStandardsExample) {
  const std::string text = "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64";
  std::vector<std::size_t> steps;
  std::string replaced;
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = decode_utf8(text, at);
    if (c.length != 0) {
      replaced += text.substr(at, c.length);
      at += c.length;
    } else {
      replaced += "\xEF\xBF\xBD";
      steps.push_back(c.maximal_subpart);
      at += c.maximal_subpart;
    }
  }
  EXPECT_EQ(replaced, "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD" "d");
  EXPECT_EQ(steps, (std::vector<std::size_t>{3, 2, 1, 1, 1, 1}));
}

// The first bad byte is found wherever it stands, before, inside and after
// the eight-byte ASCII words, and a text without one is valid.
TEST(Utf8, FirstInvalidAtEveryPlace) {
  for (std::size_t length = 0; length <= 40; ++length) {
    std::string text(length, 'a');
    EXPECT_EQ(first_invalid_utf8(text), std::string_view::npos) << length;
    EXPECT_TRUE(is_valid_utf8(text));
    for (std::size_t at = 0; at < length; ++at) {
      for (std::string_view bad : {"\x80", "\xC0", "\xFF", "\xED\xA0"}) {
        std::string t = text;
        t.replace(at, std::min(bad.size(), length - at), bad.substr(0, length - at));
        EXPECT_EQ(first_invalid_utf8(t), at) << length << ' ' << at;
        EXPECT_FALSE(is_valid_utf8(t));
      }
      std::string good = text;
      good.insert(at, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
      EXPECT_EQ(first_invalid_utf8(good), std::string_view::npos) << length << ' ' << at;
    }
  }
}

}  // namespace
}  // namespace orvex::json
