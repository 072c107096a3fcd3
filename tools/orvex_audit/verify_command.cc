#include "orvex_audit/verify_command.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/hex.h"
#include "orvex_audit/key_tally.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/messages.h"
#include "orvex_audit/record_check.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

constexpr std::string_view kStandardInputArgument = "-";

// An input opened by name, closed on every path; standard input is borrowed
// and left open.
class Input {
 public:
  explicit Input(const std::string& name) {
    if (name == kStandardInputArgument) {
      fd_ = STDIN_FILENO;
      display_name_ = m::kStandardInputName;
      return;
    }
    owned_ = true;
    display_name_ = name;
    do {
      fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) open_error_ = errno;
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() {
    if (owned_ && fd_ >= 0) ::close(fd_);
  }

  int fd() const { return fd_; }
  int open_error() const { return open_error_; }
  const std::string& display_name() const { return display_name_; }

 private:
  int fd_ = -1;
  bool owned_ = false;
  int open_error_ = 0;
  std::string display_name_;
};

struct Tally {
  std::uint64_t read = 0;
  std::uint64_t valid = 0;
  std::uint64_t invalid = 0;
};

void write_text(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

void report_error(std::FILE* err, std::string_view text) {
  std::string line(m::kErrorPrefix);
  line.append(text);
  line.push_back('\n');
  write_text(err, line);
}

// The line's verdict: the key that signed it, or why it is refused. Damage
// that the line source sees comes first, since the text is then incomplete.
Result<audit::PublicKey> judge(const Line& line, RecordChecker& checker) {
  if (line.too_long) return Failure::ordinary(m::fill(m::kLineTooLong, {std::to_string(kMaxLineBytes)}));
  if (!line.has_line_feed) return Failure::ordinary(std::string(m::kTornLine));
  return checker.check(line.text);
}

// Returns false when the input could not be read to its end.
bool verify_input(const Input& input, RecordChecker& checker, Tally& tally, KeyTally& keys, std::FILE* out,
                  std::FILE* err) {
  LineSource source(input.fd());
  Line line;
  std::uint64_t number = 0;
  for (;;) {
    switch (source.next(line)) {
      case LineSource::Status::kEnd: return true;
      case LineSource::Status::kReadError:
        report_error(err, m::fill(m::kInputError, {input.display_name(), std::strerror(source.read_error())}));
        return false;
      case LineSource::Status::kLine: break;
    }
    ++number;
    ++tally.read;
    Result<audit::PublicKey> verdict = judge(line, checker);
    if (verdict.ok()) {
      ++tally.valid;
      keys.count(verdict.value());
      continue;
    }
    ++tally.invalid;
    write_text(out, m::fill(m::kLineReport,
                            {input.display_name(), std::to_string(number), verdict.failure().message}));
  }
}

void write_summary(const Tally& tally, const KeyTally& keys, bool pinned, std::FILE* out) {
  write_text(out, m::fill(m::kSummary, {std::to_string(tally.read), std::to_string(tally.valid),
                                        std::to_string(tally.invalid)}));
  // With a pinned key every valid record is the pinned key's; without one
  // the operator needs to see who signed, or a forger's key would pass.
  if (pinned) return;
  for (const auto& [key, count] : keys.listed()) {
    write_text(out, m::fill(m::kKeySeen, {lowercase_hex(key), std::to_string(count)}));
  }
  if (keys.overflowed()) write_text(out, m::fill(m::kKeysNotListed, {std::to_string(kMaxListedKeys)}));
}

}  // namespace

int run_verify(const Options& options, std::FILE* out, std::FILE* err) {
  std::vector<std::string> names = options.files;
  if (names.empty()) names.emplace_back(kStandardInputArgument);

  RecordChecker checker(options.pinned_key);
  Tally tally;
  KeyTally keys;
  bool trouble = false;
  for (const std::string& name : names) {
    const Input input(name);
    if (input.fd() < 0) {
      report_error(err, m::fill(m::kInputError, {input.display_name(), std::strerror(input.open_error())}));
      trouble = true;
      continue;
    }
    if (!verify_input(input, checker, tally, keys, out, err)) trouble = true;
  }
  write_summary(tally, keys, options.pinned_key.has_value(), out);

  if (std::fflush(out) != 0 || std::ferror(out)) {
    report_error(err, m::fill(m::kOutputError, {std::strerror(errno)}));
    return kExitTrouble;
  }
  if (trouble) return kExitTrouble;
  return tally.invalid == 0 ? kExitAllValid : kExitSomeInvalid;
}

}  // namespace orvex::audit_tool
