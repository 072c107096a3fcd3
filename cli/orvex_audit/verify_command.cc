#include "orvex_audit/verify_command.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <memory>
#include <vector>

#include "common/fill_message.h"
#include "orvex_audit/error_line.h"
#include "orvex_audit/input_file.h"
#include "orvex_audit/input_text.h"
#include "orvex_audit/key_tally.h"
#include "orvex_audit/line_checks.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/repeat_detector.h"
#include "orvex_audit/report.h"
#include "orvex_audit/seal_age.h"
#include "orvex_audit/seal_chain.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/sealed_prefix.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;
namespace sm = seal_messages;

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

std::string_view base_name(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Everything one run keeps across its inputs.
class Verification {
 public:
  Verification(const Options& options, Report& report)
      : options_(options),
        report_(report),
        checks_(options.jobs > 0 ? options.jobs : default_jobs(), options.pinned_keys, hash_key_,
                [this](const LineVerdict& verdict) { count(verdict); }) {}

  VerifyTotals totals;
  KeyTally keys;
  bool failed = false;      // findings other than bad lines: damage, seals
  std::uint64_t unsealed = 0;
  SealChain seals;

  // Returns false when the input could not be read to its end.
  bool verify_input(const InputFile& input, const std::string& name, std::FILE* err) {
    inputs_.begin_input(input.display_name(), totals.read);
    input_name_ = input.display_name();
    number_ = 0;
    InputText text(input.fd());
    const bool sealing = !options_.seals.empty();
    SealedFile* sealed = nullptr;
    if (sealing && name != kStandardInputArgument) sealed = sealed_file_for(seals, base_name(name));
    if (sealed != nullptr) sealed->matched = true;
    SealedPrefix prefix(text, sealed);
    ByteSource& bytes = sealing ? static_cast<ByteSource&>(prefix) : text;
    LineSource source(bytes, options_.max_line_bytes);
    Line line;
    bool read_whole = true;
    for (bool more = true; more;) {
      switch (source.next(line)) {
        case LineSource::Status::kEnd: more = false; break;
        case LineSource::Status::kLine:
          if (line.length_over_limit != 0) {
            checks_.add_refused(fill_message(m::kLineTooLong, {std::to_string(line.length_over_limit),
                                                               std::to_string(source.max_line_bytes())}));
          } else {
            checks_.add(line);
          }
          break;
        case LineSource::Status::kReadError:
          checks_.drain();
          more = false;
          if (!text.damage().empty()) {
            // The text before the damage has been checked; the damage is a
            // finding on the line it cut, not an error of the run.
            report_.bad_line(input_name_, number_ + 1, FindingKind::kDamagedInput, text.damage());
            failed = true;
          } else {
            report_error(err, fill_message(m::kInputError, {input_name_, std::strerror(source.read_error())}));
            read_whole = false;
          }
          break;
      }
    }
    checks_.drain();
    if (sealing && read_whole) check_seals(prefix, sealed != nullptr);
    return read_whole;
  }

  // After every input: the sealed files that none of them was.
  void report_missing() {
    for (std::size_t n = 0; n < seals.files.size(); ++n) {
      const SealedFile& file = seals.files[n];
      if (file.matched || file.checkpoints.empty()) continue;
      const auto current = seals.by_name.find(file.name);
      const bool replaced = current != seals.by_name.end() && current->second != n;
      report_.bad_line(options_.seals, file.checkpoints.back().seal_line, FindingKind::kSealedFileMissing,
                       fill_message(replaced ? sm::kSealedFileReplaced : sm::kSealedFileMissing, {file.name}));
      failed = true;
    }
  }

  // After the seal file: each pinned chain must have seals, and with
  // --max-seal-age, a newest seal young enough. A chain cut back to its
  // older seals still verifies link by link; only its age shows the cut.
  void check_chains(std::FILE* err) {
    for (const auto& [name, anchor] : options_.anchors) {
      if (seals.tips.contains(name)) continue;
      report_.bad_file(options_.seals, FindingKind::kStaleChain,
                       fill_message(sm::kPinnedChainUnsealed, {name, options_.seals}));
      failed = true;
    }
    if (options_.anchors.empty() && !seals.tips.empty()) report_error(err, sm::kNoAnchorPinned);
    if (!options_.max_seal_age.has_value()) return;
    const std::int64_t now = seconds_now();
    for (const auto& [name, tip] : seals.tips) {
      const std::optional<std::int64_t> made = rfc3339_seconds(tip.sealed_at);
      if (made.has_value() && now - *made <= static_cast<std::int64_t>(*options_.max_seal_age)) continue;
      report_.bad_line(options_.seals, tip.line, FindingKind::kStaleChain,
                       fill_message(sm::kChainTooOld, {name, options_.seals, std::to_string(tip.line), tip.sealed_at,
                                                       options_.max_seal_age_text}));
      failed = true;
    }
  }

 private:
  void check_seals(SealedPrefix& prefix, bool has_seal) {
    if (const std::optional<std::string> mismatch = prefix.mismatch(options_.seals)) {
      report_.bad_file(input_name_, FindingKind::kSealedPartChanged, *mismatch);
      failed = true;
      return;
    }
    const std::uint64_t lines = prefix.unsealed_lines();
    if (lines == 0) return;
    std::string_view text = has_seal ? sm::kUnsealedRecords : sm::kNothingSealed;
    if (is_active(input_name_)) {
      text = has_seal ? sm::kUnsealedActive : sm::kNothingSealedActive;
    } else {
      unsealed += lines;
    }
    report_.bad_file(input_name_, FindingKind::kUnsealedRecords, fill_message(text, {std::to_string(lines)}));
  }

  // Whether the input is one of the --active logs, by base name.
  bool is_active(std::string_view name) const {
    const std::string_view base = base_name(name);
    return std::any_of(options_.active.begin(), options_.active.end(),
                       [&](const std::string& active) { return base_name(active) == base; });
  }

  // Each line's verdict, in the order of the lines.
  void count(const LineVerdict& verdict) {
    const std::uint64_t ordinal = totals.read++;
    ++number_;
    if (!verdict.valid) {
      ++totals.invalid;
      report_.bad_line(input_name_, number_,
                       verdict.has_line_feed ? FindingKind::kInvalidRecord : FindingKind::kTornLine, verdict.reason);
      return;
    }
    // Only valid records are remembered: a repeat of a refused line is
    // refused on its own account.
    if (const auto earlier = repeats_.first_seen_as(verdict.hash, ordinal)) {
      ++totals.invalid;
      const auto [earlier_input, earlier_line] = inputs_.locate(*earlier);
      report_.bad_line(input_name_, number_, FindingKind::kRepeatedLine,
                       fill_message(m::kRepeatedLine, {earlier_input, std::to_string(earlier_line)}));
      return;
    }
    ++totals.valid;
    keys.count(verdict.key);
  }

  const Options& options_;
  Report& report_;
  const LineHashKey hash_key_ = random_line_hash_key();
  RepeatDetector repeats_;
  InputIndex inputs_;
  std::string input_name_;
  std::uint64_t number_ = 0;
  LineChecks checks_;  // last: its threads stop before the rest goes
};

}  // namespace

int run_verify(const Options& options, std::FILE* out, std::FILE* err) {
  std::vector<std::string> names = options.files;
  if (names.empty()) names.emplace_back(kStandardInputArgument);

  const PinnedKeys& pinned = options.pinned_keys;
  std::unique_ptr<Report> report;
  if (options.format == Options::Format::kJson) {
    report = std::make_unique<JsonReport>(out);
  } else {
    report = std::make_unique<TextReport>(out);
  }
  Verification run(options, *report);
  bool trouble = false;
  bool read_any = false;
  if (!options.seals.empty()) {
    run.seals = read_seal_chain(options.seals, pinned, options.anchors, *report, err);
    trouble = run.seals.read_failed;
    run.failed = run.seals.findings > 0;
    if (!trouble) run.check_chains(err);
  }
  for (const std::string& name : names) {
    const InputFile input(name, m::kStandardInputName);
    if (input.fd() < 0) {
      report_error(err, input.error());
      trouble = true;
      continue;
    }
    if (run.verify_input(input, name, err)) {
      read_any = true;
    } else {
      trouble = true;
    }
  }
  // With no input read and no line seen there is nothing to sum up: "0
  // records read" would look like the check of an empty log.
  if (!read_any && run.totals.read == 0) return kExitTrouble;
  if (!options.seals.empty() && !run.seals.read_failed) run.report_missing();

  // With one pinned key every valid record is that key's; otherwise the
  // operator needs to see who signed what.
  report->summary(run.totals, run.keys, pinned.size() != 1);
  const std::size_t signers = run.keys.listed().size();
  // Unpinned, a second key is a forger's as likely as a rotation: only the
  // operator can tell, so the run fails until the keys are pinned.
  const bool unpinned_keys_differ = pinned.empty() && signers > 1;
  if (unpinned_keys_differ) {
    report->several_keys_unpinned(run.keys.overflowed() ? fill_message(m::kManyKeys, {std::to_string(kMaxListedKeys)})
                                                        : std::to_string(signers));
  } else if (pinned.empty()) {
    report_error(err, m::kNothingPinned);
  }
  report->finish();

  if (std::fflush(out) != 0 || std::ferror(out)) {
    report_error(err, fill_message(m::kOutputError, {std::strerror(errno)}));
    return kExitTrouble;
  }
  if (trouble) return kExitTrouble;
  const bool unsealed_fails = options.require_sealed && run.unsealed > 0;
  const bool all_valid = run.totals.invalid == 0 && !unpinned_keys_differ && !run.failed && !unsealed_fails;
  return all_valid ? kExitAllValid : kExitSomeInvalid;
}

}  // namespace orvex::audit_tool
