// The vector and word scans must stop exactly where a byte-by-byte scan does.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "json/byte_scan.h"

namespace orvex::json {
namespace {

const char* slow_find(const std::string& s) {
  const char* p = s.data();
  while (p != s.data() + s.size() && is_unescaped_string_byte(static_cast<unsigned char>(*p))) ++p;
  return p;
}

TEST(ByteScan, StopsWhereAByteByByteScanStops) {
  // Bytes on both sides of every boundary the scan tests: controls, the
  // quote, the backslash, and high bytes that must not borrow into a match.
  const char alphabet[] = {'"', '\\', 0x1f, 0x00, 0x20, 'a', '\x80', '\xff', '\x9f', 0x21, 0x5b, 0x5d, 0x7f, '\xa2', '\xdc'};
  std::mt19937 random(3);
  for (int i = 0; i < 200000; ++i) {
    // Up to 70 bytes: several sixteen-byte blocks, then word and byte tails.
    std::string s(random() % 70, 'x');
    for (char& c : s) {
      if (random() % 4 == 0) c = alphabet[random() % sizeof alphabet];
    }
    ASSERT_EQ(find_string_special(s.data(), s.data() + s.size()) - s.data(), slow_find(s) - s.data())
        << "case " << i;
  }
}

TEST(ByteScan, WhitespaceIsExactlyTheFourJsonBytes) {
  for (int c = 0; c < 256; ++c) {
    const bool expected = c == ' ' || c == '\n' || c == '\t' || c == '\r';
    EXPECT_EQ(is_json_whitespace(static_cast<unsigned char>(c)), expected) << "byte " << c;
  }
  const std::string s = " \t\r\n x ";
  EXPECT_EQ(skip_json_whitespace(s.data(), s.data() + s.size()) - s.data(), 5);
  EXPECT_EQ(skip_json_whitespace(s.data(), s.data() + 4) - s.data(), 4);
}

}  // namespace
}  // namespace orvex::json
