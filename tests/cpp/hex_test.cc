// Hexadecimal text both ways: every byte value round trips, and decoding
// takes exactly the digits of the accepted case at exactly twice the length.
#include "common/hex.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex {
namespace {

TEST(Hex, EveryByteRoundTrips) {
  std::vector<std::uint8_t> bytes(256);
  for (int b = 0; b < 256; ++b) bytes[b] = static_cast<std::uint8_t>(b);
  const std::string text = lowercase_hex(bytes);
  ASSERT_EQ(text.size(), 512u);
  EXPECT_EQ(text.substr(0, 8), "00010203");
  EXPECT_EQ(text.substr(2 * 0x9f, 6), "9fa0a1");
  EXPECT_EQ(text.substr(504), "fcfdfeff");
  std::vector<std::uint8_t> back(256);
  ASSERT_TRUE(decode_hex(text, HexCase::LowerOnly, back));
  EXPECT_EQ(back, bytes);
}

// Sixteen bytes at a time, then one at a time: every length around the
// block size and every byte value at every place of a block, against
// printf's digits.
TEST(Hex, EveryLengthAndPlaceAgreesWithPrintf) {
  for (std::size_t length = 0; length <= 50; ++length) {
    for (int first = 0; first < 256; first += 5) {
      std::vector<std::uint8_t> bytes(length);
      std::string expected;
      for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>((first + 37 * i) % 256);
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        expected += digits;
      }
      ASSERT_EQ(lowercase_hex(bytes), expected) << "length " << length << " first " << first;
    }
  }
}

TEST(Hex, AppendsAfterWhatIsThere) {
  std::string out = "\\u00";
  const std::array<std::uint8_t, 1> control = {0x1f};
  append_lowercase_hex(control, out);
  EXPECT_EQ(out, "\\u001f");
}

TEST(Hex, DecodesOnlyTheAcceptedDigits) {
  struct Case {
    const char* text;
    bool lower_only;
    bool either;
  };
  const Case cases[] = {
      {"0aff", true, true},  {"0AFF", false, true}, {"0aFf", false, true}, {"0ag0", false, false},
      {"0a:0", false, false}, {"0a/0", false, false}, {"0a@0", false, false}, {"0a`0", false, false},
      {"0aG0", false, false}, {"0a 0", false, false}, {"0aff0", false, false}, {"0af", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    std::array<std::uint8_t, 2> out{};
    EXPECT_EQ(decode_hex(c.text, HexCase::LowerOnly, out), c.lower_only) << c.text;
    EXPECT_EQ(decode_hex(c.text, HexCase::Either, out), c.either) << c.text;
    if (c.either) EXPECT_EQ(out, (std::array<std::uint8_t, 2>{0x0a, 0xff})) << c.text;
  }
}

}  // namespace
}  // namespace orvex
