// The public conformance corpus of JSON parsers: every y_ file is read,
// every n_ file refused, and each i_ file behaves as this reader defines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "json/reader.h"
#include "json/utf8.h"

namespace orvex::json {
namespace {

std::string slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// What each implementation-defined case gives here ("ok" or the error).
const std::map<std::string, std::string> kImplementationDefined = {
    {"i_number_double_huge_neg_exp.json", "ok"},
    {"i_number_huge_exp.json", "number out of range at line 1 column 17"},
    {"i_number_neg_int_huge_exp.json", "number out of range at line 1 column 9"},
    {"i_number_pos_double_huge_exp.json", "number out of range at line 1 column 10"},
    {"i_number_real_neg_overflow.json", "number out of range at line 1 column 15"},
    {"i_number_real_pos_overflow.json", "number out of range at line 1 column 14"},
    {"i_number_real_underflow.json", "ok"},
    {"i_number_too_big_neg_int.json", "ok"},
    {"i_number_too_big_pos_int.json", "ok"},
    {"i_number_very_big_negative_int.json", "ok"},
    {"i_object_key_lone_2nd_surrogate.json", "lone leading surrogate in hex escape at line 1 column 8"},
    {"i_string_1st_surrogate_but_2nd_missing.json", "unexpected end of hex escape at line 1 column 9"},
    {"i_string_1st_valid_surrogate_2nd_invalid.json", "lone leading surrogate in hex escape at line 1 column 14"},
    {"i_string_UTF-16LE_with_BOM.json", "not UTF-8"},
    {"i_string_UTF-8_invalid_sequence.json", "not UTF-8"},
    {"i_string_UTF8_surrogate_U+D800.json", "not UTF-8"},
    {"i_string_incomplete_surrogate_and_escape_valid.json", "unexpected end of hex escape at line 1 column 10"},
    {"i_string_incomplete_surrogate_pair.json", "lone leading surrogate in hex escape at line 1 column 8"},
    {"i_string_incomplete_surrogates_escape_valid.json", "lone leading surrogate in hex escape at line 1 column 14"},
    {"i_string_invalid_lonely_surrogate.json", "unexpected end of hex escape at line 1 column 9"},
    {"i_string_invalid_surrogate.json", "unexpected end of hex escape at line 1 column 9"},
    {"i_string_invalid_utf-8.json", "not UTF-8"},
    {"i_string_inverted_surrogates_U+1D11E.json", "lone leading surrogate in hex escape at line 1 column 8"},
    {"i_string_iso_latin_1.json", "not UTF-8"},
    {"i_string_lone_second_surrogate.json", "lone leading surrogate in hex escape at line 1 column 8"},
    {"i_string_lone_utf8_continuation_byte.json", "not UTF-8"},
    {"i_string_not_in_unicode_range.json", "not UTF-8"},
    {"i_string_overlong_sequence_2_bytes.json", "not UTF-8"},
    {"i_string_overlong_sequence_6_bytes.json", "not UTF-8"},
    {"i_string_overlong_sequence_6_bytes_null.json", "not UTF-8"},
    {"i_string_truncated-utf-8.json", "not UTF-8"},
    {"i_string_utf16BE_no_BOM.json", "not UTF-8"},
    {"i_string_utf16LE_no_BOM.json", "not UTF-8"},
    {"i_structure_500_nested_arrays.json", "recursion limit exceeded at line 1 column 128"},
    {"i_structure_UTF-8_BOM_empty_object.json", "expected value at line 1 column 1"},
};

// The corpus is not part of this repository: it is read from the folder
// named by ORVEX_JSON_TEST_SUITE_DIR (the corpus's test_parsing folder or
// the checkout holding it), else from the copy beside the repository.
constexpr const char* kCorpusVariable = "ORVEX_JSON_TEST_SUITE_DIR";

TEST(JsonTestSuite, EveryFileBehavesAsDefined) {
  const char* chosen = std::getenv(kCorpusVariable);
  const bool named = chosen != nullptr && *chosen != '\0';
  std::filesystem::path dir = named ? chosen : ORVEX_JSON_TEST_SUITE_DIR;
  if (std::filesystem::is_directory(dir / "test_parsing")) dir /= "test_parsing";
  // A folder the caller named must exist; the default one may be absent.
  if (!named && !std::filesystem::is_directory(dir)) {
    GTEST_SKIP() << "JSON conformance corpus not found at " << dir.string() << "; set " << kCorpusVariable
                 << " to its test_parsing folder to run it";
  }
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << kCorpusVariable << " names no folder: " << dir;
  int y = 0, n = 0, i = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const std::string text = slurp(entry.path());
    Result<JsonValue> r = read_json(text);
    if (name.rfind("y_", 0) == 0) {
      ++y;
      EXPECT_TRUE(r.ok()) << name << ": " << (r.ok() ? "" : r.failure().message);
    } else if (name.rfind("n_", 0) == 0) {
      // Texts that are not UTF-8 cannot reach the reader: the module accepts
      // only str arguments, which the interpreter encodes strictly.
      ++n;
      EXPECT_TRUE(!r.ok() || !is_valid_utf8(text)) << name << " was read";
    } else if (name.rfind("i_", 0) == 0) {
      ++i;
      auto it = kImplementationDefined.find(name);
      ASSERT_NE(it, kImplementationDefined.end()) << "no expectation for " << name;
      std::string outcome = !is_valid_utf8(text) ? "not UTF-8" : r.ok() ? "ok" : r.failure().message;
      EXPECT_EQ(outcome, it->second) << name;
    }
  }
  EXPECT_GT(y, 90);
  EXPECT_GT(n, 180);
  EXPECT_EQ(i, static_cast<int>(kImplementationDefined.size()));
}

}  // namespace
}  // namespace orvex::json
