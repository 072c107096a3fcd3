#include "orvex_audit/verify_command.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvex_audit/byte_source.h"
#include "orvex_audit/key_tally.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/messages.h"
#include "orvex_audit/read_only_file.h"
#include "orvex_audit/record_check.h"
#include "orvex_audit/repeat_detector.h"
#include "orvex_audit/report.h"

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
      display_name_ = m::kStandardInputName;
      return;
    }
    display_name_ = name;
    file_.emplace(name);
  }

  int fd() const { return file_.has_value() ? file_->fd() : STDIN_FILENO; }
  int open_error() const { return file_.has_value() ? file_->open_error() : 0; }
  const std::string& display_name() const { return display_name_; }

 private:
  std::optional<ReadOnlyFile> file_;
  std::string display_name_;
};

void report_error(std::FILE* err, std::string_view text) {
  std::string line(m::kErrorPrefix);
  line.append(text);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), err);
}

// Where each input's lines begin in the count over all inputs, so that a
// repeat can name the earlier line by its input and line number.
class InputIndex {
 public:
  void begin_input(std::string name, std::uint64_t first_ordinal) {
    starts_.push_back(Start{first_ordinal, std::move(name)});
  }
  // REQUIRES: `ordinal` lies in an input begun before.
  std::pair<std::string_view, std::uint64_t> locate(std::uint64_t ordinal) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), ordinal,
                                        [](std::uint64_t o, const Start& start) { return o < start.first_ordinal; });
    const Start& start = *(after - 1);
    return {start.name, ordinal - start.first_ordinal + 1};
  }

 private:
  struct Start {
    std::uint64_t first_ordinal;
    std::string name;
  };
  std::vector<Start> starts_;
};

// Everything one run keeps across its inputs.
struct Verification {
  explicit Verification(const PinnedKeys& pinned) : checker(pinned) {}

  RecordChecker checker;
  const LineHashKey hash_key = random_line_hash_key();
  RepeatDetector repeats;
  InputIndex inputs;
  VerifyTotals totals;
  KeyTally keys;
};

// The line's verdict: the key that signed it, or why it is refused.
Result<audit::PublicKey> judge(const Line& line, RecordChecker& checker) {
  if (!line.has_line_feed) return Failure::ordinary(std::string(m::kTornLine));
  return checker.check(line.text);
}

// Returns false when the input could not be read to its end.
bool verify_input(const Input& input, Verification& run, Report& report, std::FILE* err) {
  run.inputs.begin_input(input.display_name(), run.totals.read);
  DescriptorSource bytes(input.fd());
  LineSource source(bytes);
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
    const std::uint64_t ordinal = run.totals.read++;
    ++number;
    Result<audit::PublicKey> verdict = judge(line, run.checker);
    if (!verdict.ok()) {
      ++run.totals.invalid;
      report.bad_line(input.display_name(), number,
                      line.has_line_feed ? FindingKind::kInvalidRecord : FindingKind::kTornLine,
                      verdict.failure().message);
      continue;
    }
    // Only valid records are remembered: a repeat of a refused line is
    // refused on its own account.
    if (const auto earlier = run.repeats.first_seen_as(line_hash(run.hash_key, line.text), ordinal)) {
      ++run.totals.invalid;
      const auto [earlier_input, earlier_line] = run.inputs.locate(*earlier);
      report.bad_line(input.display_name(), number, FindingKind::kRepeatedLine,
                      m::fill(m::kRepeatedLine, {earlier_input, std::to_string(earlier_line)}));
      continue;
    }
    ++run.totals.valid;
    run.keys.count(verdict.value());
  }
}

}  // namespace

int run_verify(const Options& options, std::FILE* out, std::FILE* err) {
  std::vector<std::string> names = options.files;
  if (names.empty()) names.emplace_back(kStandardInputArgument);

  const PinnedKeys& pinned = options.pinned_keys;
  Verification run(pinned);
  TextReport report(out);
  bool trouble = false;
  bool read_any = false;
  for (const std::string& name : names) {
    const Input input(name);
    if (input.fd() < 0) {
      report_error(err, m::fill(m::kInputError, {input.display_name(), std::strerror(input.open_error())}));
      trouble = true;
      continue;
    }
    if (verify_input(input, run, report, err)) {
      read_any = true;
    } else {
      trouble = true;
    }
  }
  // With no input read and no line seen there is nothing to sum up: "0
  // records read" would look like the check of an empty log.
  if (!read_any && run.totals.read == 0) return kExitTrouble;

  // With one pinned key every valid record is that key's; otherwise the
  // operator needs to see who signed what.
  report.summary(run.totals, run.keys, pinned.size() != 1);
  const std::size_t signers = run.keys.listed().size();
  // Unpinned, a second key is a forger's as likely as a rotation: only the
  // operator can tell, so the run fails until the keys are pinned.
  const bool unpinned_keys_differ = pinned.empty() && signers > 1;
  if (unpinned_keys_differ) {
    report.several_keys_unpinned(run.keys.overflowed() ? m::fill(m::kManyKeys, {std::to_string(kMaxListedKeys)})
                                                       : std::to_string(signers));
  } else if (pinned.empty()) {
    report_error(err, m::kNothingPinned);
  }

  if (std::fflush(out) != 0 || std::ferror(out)) {
    report_error(err, m::fill(m::kOutputError, {std::strerror(errno)}));
    return kExitTrouble;
  }
  if (trouble) return kExitTrouble;
  return run.totals.invalid == 0 && !unpinned_keys_differ ? kExitAllValid : kExitSomeInvalid;
}

}  // namespace orvex::audit_tool
