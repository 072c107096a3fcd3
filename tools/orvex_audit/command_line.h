// The command line of orvex-audit: which command, the pinned key, the files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audit/signing_key.h"
#include "common/result.h"

namespace orvex::audit_tool {

// Exit statuses, as the manual page states them.
inline constexpr int kExitAllValid = 0;
inline constexpr int kExitSomeInvalid = 1;
inline constexpr int kExitTrouble = 2;  // usage, input or output errors, a missing or bad seed

enum class Command { kHelp, kPubkey, kVerify, kSeal };

struct Options {
  Command command = Command::kHelp;
  std::optional<audit::PublicKey> pinned_key;
  // Empty: standard input. "-" also names standard input.
  std::vector<std::string> files;
  // The seal file of `seal`.
  std::string seals;
};

// `arguments` excludes the program name. -h or --help anywhere before "--"
// asks for the manual. The failure text is the usage error, without the
// program prefix.
Result<Options> parse_command_line(const std::vector<std::string>& arguments);

}  // namespace orvex::audit_tool
