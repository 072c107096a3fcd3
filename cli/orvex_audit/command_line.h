// The command line of orvex-audit: which command, the pinned keys, the files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/pinned_keys.h"
#include "orvex_audit/seal_anchors.h"

namespace orvex::audit_tool {

// Exit statuses, as the manual page states them.
inline constexpr int kExitAllValid = 0;
inline constexpr int kExitSomeInvalid = 1;
inline constexpr int kExitTrouble = 2;  // usage, input or output errors, a missing or bad seed

enum class Command { kHelp, kVersion, kPubkey, kVerify, kSeal, kSealInit };

struct Options {
  Command command = Command::kHelp;
  // From --public-key and the files of --keys; empty: nothing pinned.
  PinnedKeys pinned_keys;
  // Empty: standard input. "-" also names standard input.
  std::vector<std::string> files;
  // The seal file: written by `seal`, checked by `verify --seals`.
  std::string seals;
  // seal, seal-init: the sealing key file.
  std::string key_file;
  // seal-init: the chain's name; empty: the host name.
  std::string chain;
  // seal: first-format seals, signed with the records' key from ORVEX_SEED.
  bool records_key = false;
  // verify: each chain's pinned first key.
  SealAnchors anchors;
  // verify: unsealed records fail the run, but for those of the --active
  // logs (base names), which are sealed at their next rotation.
  bool require_sealed = false;
  std::vector<std::string> active;
  // verify: a chain whose newest seal is older than this many seconds fails.
  std::optional<std::uint64_t> max_seal_age;
  std::string max_seal_age_text;  // as given, for the report
  // verify: a longer line is a finding, passed over without being kept.
  std::size_t max_line_bytes = kDefaultMaxLineBytes;
  // verify: threads for the line checks; 0 means one per processor.
  unsigned jobs = 0;
  // verify: the report on standard output.
  enum class Format { kText, kJson } format = Format::kText;
};

// `arguments` excludes the program name. -h or --help (and --version) count
// only as the command itself or as the command's first option; anywhere
// else they are unknown options, so that a stray one cannot turn a check
// into a success. The files of --keys are read here. The failure text is the
// usage error, without the program prefix.
Result<Options> parse_command_line(const std::vector<std::string>& arguments);

}  // namespace orvex::audit_tool
