// Appending lines to the log: created when absent, never truncated, one
// line feed per line, and silent loss when the path cannot be written.
#include "audit/log_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orvex::audit {
namespace {

class LogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex_log_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    path_ = (directory_ / "orvex_audit.log").string();
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  void write_file(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary);
    out << bytes;
  }
  std::string read_file() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path directory_;
  std::string path_;
};

struct AppendCase {
  const char* name;
  const char* before;  // nullptr: no file yet
  const char* line;
  const char* after;
};

TEST_F(LogFile, AppendsAfterTheLastByte) {
  static const AppendCase kCases[] = {
      {"created when absent", nullptr, "{\"a\":1}", "{\"a\":1}\n"},
      {"empty file", "", "{\"a\":1}", "{\"a\":1}\n"},
      {"after complete lines", "one\ntwo\n", "three", "one\ntwo\nthree\n"},
      {"continues a last line without line feed", "partial", "{}", "partial{}\n"},
      {"empty line", "x\n", "", "x\n\n"},
      {"no carriage return added", "", "a\tb", "a\tb\n"},
  };
  for (const AppendCase& c : kCases) {
    std::filesystem::remove(path_);
    if (c.before != nullptr) write_file(c.before);
    append_line(path_.c_str(), c.line);
    EXPECT_EQ(read_file(), c.after) << c.name;
  }
}

TEST_F(LogFile, ManyAppendsKeepEveryLine) {
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    const std::string line = "record " + std::to_string(i) + std::string(static_cast<std::size_t>(i), 'x');
    append_line(path_.c_str(), line);
    expected += line + "\n";
  }
  EXPECT_EQ(read_file(), expected);
}

TEST_F(LogFile, CreatedFileIsReadableByAllWritableByOwner) {
  const mode_t old_mask = umask(022);
  append_line(path_.c_str(), "x");
  umask(old_mask);
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(LogFile, UnopenablePathsLoseTheLineSilently) {
  std::filesystem::create_directory(path_);
  append_line(path_.c_str(), "lost");
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_TRUE(std::filesystem::is_empty(path_));

  const std::string missing_directory = (directory_ / "absent" / "orvex_audit.log").string();
  append_line(missing_directory.c_str(), "lost");
  EXPECT_FALSE(std::filesystem::exists(directory_ / "absent"));
}

}  // namespace
}  // namespace orvex::audit
