// Appending lines to the log: created when absent, never truncated, one
// line feed per line, a line kept whole after a partial one, no wait for a
// FIFO reader, and the system's error text for every way a line can be lost.
#include "audit/log_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "audit/lost_record.h"

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

// The line as append_line takes it: ending in its line feed.
std::string with_line_feed(std::string_view line) { return std::string(line) + '\n'; }

// "OK", or the failure text of append_line.
std::string outcome(const Result<Unit>& result) { return result.ok() ? "OK" : result.failure().message; }

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
      // The torn line ends with a copy of the line; the line follows whole.
      {"after a partial last line", "one\npartial", "{}", "one\npartial{}\n{}\n"},
      {"after a one-byte partial line", "{", "{}", "{{}\n{}\n"},
      {"an empty last line is complete", "\n", "{}", "\n{}\n"},
      {"a carriage return is not a line end", "x\r", "{}", "x\r{}\n{}\n"},
      {"empty line", "x\n", "", "x\n\n"},
      {"no carriage return added", "", "a\tb", "a\tb\n"},
  };
  for (const AppendCase& c : kCases) {
    std::filesystem::remove(path_);
    if (c.before != nullptr) write_file(c.before);
    EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed(c.line))), "OK") << c.name;
    EXPECT_EQ(read_file(), c.after) << c.name;
  }
}

TEST_F(LogFile, ManyAppendsKeepEveryLine) {
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    const std::string line = "record " + std::to_string(i) + std::string(static_cast<std::size_t>(i), 'x');
    ASSERT_TRUE(append_line(path_.c_str(), with_line_feed(line)).ok());
    expected += line + "\n";
  }
  EXPECT_EQ(read_file(), expected);
}

TEST_F(LogFile, CreatedFileIsReadableByAllWritableByOwner) {
  const mode_t old_mask = umask(022);
  ASSERT_TRUE(append_line(path_.c_str(), with_line_feed("x")).ok());
  umask(old_mask);
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(LogFile, UnopenablePathsLoseTheLineWithTheSystemsReason) {
  std::filesystem::create_directory(path_);
  EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed("lost"))), "Is a directory");
  EXPECT_TRUE(std::filesystem::is_empty(path_));

  const std::string missing_directory = (directory_ / "absent" / "orvex_audit.log").string();
  EXPECT_EQ(outcome(append_line(missing_directory.c_str(), with_line_feed("lost"))),
            "No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(directory_ / "absent"));
}

TEST_F(LogFile, AFullDeviceLosesTheLineWithTheSystemsReason) {
  std::filesystem::create_symlink("/dev/full", path_);
  EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed("lost"))), "No space left on device");
}

TEST_F(LogFile, ADeviceInTheLogsPlaceTakesLinesUnchecked) {
  std::filesystem::create_symlink("/dev/null", path_);
  EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed("gone on purpose"))), "OK");
}

// Runs `body` in a child process and returns what it wrote to the pipe it
// was given, or "HUNG" when it had not ended after a few seconds (then it
// is killed). What blocks for ever in the child cannot block the test.
template <class Body>
std::string in_child(Body body) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_ends[0]);
    const std::string said = body();
    [[maybe_unused]] const ssize_t written = write(pipe_ends[1], said.data(), said.size());
    _exit(0);
  }
  close(pipe_ends[1]);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      close(pipe_ends[0]);
      return "HUNG";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::string said;
  char buffer[256];
  ssize_t got;
  while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0) said.append(buffer, static_cast<std::size_t>(got));
  close(pipe_ends[0]);
  return said;
}

TEST_F(LogFile, AFifoNobodyReadsIsNotWaitedFor) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0644), 0);
  const std::string path = path_;
  EXPECT_EQ(in_child([&] { return outcome(append_line(path.c_str(), with_line_feed("lost"))); }),
            "No such device or address");
}

TEST_F(LogFile, AFifoWithAReaderReceivesWholeLines) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0644), 0);
  // Opened before any writer, as a log shipper keeps it; then read in
  // blocking mode while lines far larger than the pipe's buffer arrive, so
  // that each write has to wait for the reader more than once.
  const int reader = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(fcntl(reader, F_SETFL, 0), 0);
  const std::string first(300000, 'a');
  const std::string second = "{\"b\":2}";
  const std::size_t expected_size = first.size() + second.size() + 2;
  std::string received;
  std::thread drain([&] {
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (received.size() < expected_size && std::chrono::steady_clock::now() < deadline) {
      const ssize_t got = read(reader, buffer, sizeof buffer);
      if (got > 0) {
        received.append(buffer, static_cast<std::size_t>(got));
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // no writer at the moment
      }
    }
  });
  EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed(first))), "OK");
  EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed(second))), "OK");
  drain.join();
  close(reader);
  EXPECT_TRUE(received == first + "\n" + second + "\n") << received.size() << " bytes received";
}

// A real short write: a file size limit stops the write part-way, and the
// next line, written without the limit, ends the torn line and then stands
// on a line of its own.
TEST_F(LogFile, AShortWriteLeavesAPartialLineThatTheNextLineDoesNotContinue) {
  write_file("one\n");
  const std::string path = path_;
  const std::string too_long(100, 'x');
  const std::string said = in_child([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4 + 10, 4 + 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    return outcome(append_line(path.c_str(), with_line_feed(too_long)));
  });
  EXPECT_EQ(said, "File too large");
  EXPECT_EQ(read_file(), "one\n" + too_long.substr(0, 10));
  EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed("two"))), "OK");
  EXPECT_EQ(read_file(), "one\n" + too_long.substr(0, 10) + "two\ntwo\n");
}

TEST_F(LogFile, TheDescriptorLimitLosesTheLineWithTheSystemsReason) {
  const std::string path = path_;
  EXPECT_EQ(in_child([&] {
              const rlimit limit{3, 3};  // standard input, output and error only
              setrlimit(RLIMIT_NOFILE, &limit);
              return outcome(append_line(path.c_str(), with_line_feed("lost")));
            }),
            "Too many open files");
  EXPECT_FALSE(std::filesystem::exists(path_));
}

// Root may open anything, so under root the child gives up its privileges
// first (to the conventional "nobody" ids).
TEST_F(LogFile, PermissionsLoseTheLineOrSkipTheLastByteCheck) {
  write_file("partial");
  std::filesystem::permissions(directory_, std::filesystem::perms::all);
  const std::string path = path_;
  const auto as_other_user = [&](mode_t mode, const char* line) {
    chmod(path.c_str(), mode);
    return in_child([&] {
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return std::string("cannot drop root");
      return outcome(append_line(path.c_str(), with_line_feed(line)));
    });
  };
  EXPECT_EQ(as_other_user(0444, "lost"), "Permission denied");
  EXPECT_EQ(as_other_user(0222, "x"), "OK");  // may be written, not read: appended unchecked
  chmod(path_.c_str(), 0600);
  EXPECT_EQ(read_file(), "partialx\n");
  // Read and written by someone who does not own it: still checked.
  write_file("torn");
  EXPECT_EQ(as_other_user(0666, "whole"), "OK");
  EXPECT_EQ(read_file(), "tornwhole\nwhole\n");
}

// The look at the last byte is not a reading of the log: a file system that
// records access times does not record one for it.
TEST_F(LogFile, TheLastByteCheckLeavesTheAccessTimeAlone) {
  write_file("earlier record\n");
  const timespec times[2] = {{1000, 0}, {0, UTIME_NOW}};  // access long before the last change
  ASSERT_EQ(utimensat(AT_FDCWD, path_.c_str(), times, 0), 0);
  EXPECT_EQ(outcome(append_line(path_.c_str(), with_line_feed("next"))), "OK");
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_atim.tv_sec, 1000);
}

// The report goes to file descriptor 2, captured here in a file.
TEST_F(LogFile, ALostRecordIsReportedInOneLineOnStandardError) {
  const std::string captured = (directory_ / "stderr").string();
  const int saved = dup(STDERR_FILENO);
  const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  dup2(file, STDERR_FILENO);
  report_lost_record("orvex_audit.log", "Is a directory");
  report_lost_record("orvex_audit.log", "No space left on device");
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(file);
  std::ifstream in(captured, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "orvex_core: audit record lost: orvex_audit.log: Is a directory\n"
            "orvex_core: audit record lost: orvex_audit.log: No space left on device\n");
}

}  // namespace
}  // namespace orvex::audit
