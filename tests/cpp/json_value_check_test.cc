// check_value must refuse exactly what read_value refuses, with the same
// message at the same offset: the audit log verifier relies on it to report
// a line in the reader's own words without building the line's values.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "json/reader.h"

namespace orvex::json {
namespace {

struct Outcome {
  bool ok;
  std::string message;
  std::size_t offset;
  std::size_t end;  // the cursor afterwards, when ok
};

Outcome by_reading(std::string_view text) {
  Reader reader(text);
  JsonValue value;
  const bool ok = reader.read_value(value) && reader.finish();
  return {ok, ok ? "" : reader.error().message, ok ? 0 : reader.error().offset, reader.offset()};
}

Outcome by_checking(std::string_view text) {
  Reader reader(text);
  const bool ok = reader.check_value() && reader.finish();
  return {ok, ok ? "" : reader.error().message, ok ? 0 : reader.error().offset, reader.offset()};
}

void expect_same(std::string_view text) {
  const Outcome read = by_reading(text);
  const Outcome checked = by_checking(text);
  EXPECT_EQ(read.ok, checked.ok) << text;
  EXPECT_EQ(read.message, checked.message) << text;
  EXPECT_EQ(read.offset, checked.offset) << text;
  if (read.ok) EXPECT_EQ(read.end, checked.end) << text;
}

// Each text and every proper prefix of it: the prefixes end inside every
// kind of token and container.
void expect_same_with_prefixes(std::string_view text) {
  for (std::size_t n = 0; n <= text.size(); ++n) expect_same(text.substr(0, n));
}

const std::vector<std::string> kTexts = {
    R"({"a":[1,-2.5e3,true,false,null,"x\u00e9\ud834\udd1e\n\"\\\/\b\f\r\t"],"b":{}})",
    R"([ 1 , 2 ] )", R"({"a" : 1 , "b" : [ ] })", R"([1,])", R"({"a":1,})", R"({"a" 1})", R"({1:2})",
    R"([1 2])", R"({"a":1 "b":2})", R"("\x")", R"("\u12g4")", R"("\ud800")", R"("\ud800\u0041")",
    R"("\ud800x")", R"("\udc00")", "\"a\x01b\"", R"(1e400)", R"(-1e400)", R"(1e-400)", R"(01)", R"(-)",
    R"(1.)", R"(1.e5)", R"(1e)", R"(1e+)", R"(nul)", R"(tru)", R"(fals)", R"(x)", R"([x])", "",
    "   ", R"(123456789012345678901234567890)", R"({"a":[{"b":[{"c":null}]}]})", R"("unterminated)",
};

TEST(JsonValueCheck, AgreesWithReadingOnATable) {
  for (const std::string& text : kTexts) expect_same_with_prefixes(text);
}

TEST(JsonValueCheck, AgreesOnTheNestingBudget) {
  for (const int depth : {kNestingBudget - 2, kNestingBudget - 1, kNestingBudget, kNestingBudget + 5}) {
    expect_same(std::string(depth, '[') + std::string(depth, ']'));
    std::string objects;
    for (int i = 0; i < depth; ++i) objects += "{\"k\":";
    objects += "0" + std::string(depth, '}');
    expect_same(objects);
  }
}

TEST(JsonValueCheck, AgreesOnTheConformanceCorpus) {
  const std::filesystem::path directory = ORVEX_JSON_TEST_SUITE_DIR;
  if (!std::filesystem::is_directory(directory)) GTEST_SKIP() << "no corpus at " << directory;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    expect_same(bytes.str());
    ++files;
  }
  EXPECT_GT(files, 300);
}

}  // namespace
}  // namespace orvex::json
