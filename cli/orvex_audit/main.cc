// orvex-audit: prints the public key of ORVEX_SEED, or verifies audit logs.
// The manual is in help_text.h.
#include <sodium.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "common/fill_message.h"
#include "orvex_audit/command_line.h"
#include "orvex_audit/error_line.h"
#include "orvex_audit/help_text.h"
#include "orvex_audit/pubkey_command.h"
#include "orvex_audit/seal_command.h"
#include "orvex_audit/tool_texts.h"
#include "orvex_audit/verify_command.h"

namespace orvex::audit_tool {
namespace {

namespace m = messages;

int run(const std::vector<std::string>& arguments) {
  const Result<Options> options = parse_command_line(arguments);
  if (!options.ok()) {
    report_error(stderr, options.failure().message);
    std::fwrite(m::kUsageHint.data(), 1, m::kUsageHint.size(), stderr);
    return kExitTrouble;
  }
  switch (options.value().command) {
    case Command::kHelp:
      std::fwrite(kHelpText.data(), 1, kHelpText.size(), stdout);
      return std::fflush(stdout) == 0 ? kExitAllValid : kExitTrouble;
    case Command::kVersion: {
      const std::string text = fill_message(m::kVersion, {ORVEX_VERSION});
      std::fwrite(text.data(), 1, text.size(), stdout);
      return std::fflush(stdout) == 0 ? kExitAllValid : kExitTrouble;
    }
    case Command::kPubkey: return run_pubkey(stdout, stderr);
    case Command::kVerify: return run_verify(options.value(), stdout, stderr);
    case Command::kSeal: return run_seal(options.value(), stderr);
    case Command::kSealInit: return run_seal_init(options.value(), stdout, stderr);
  }
  return kExitTrouble;
}

}  // namespace
}  // namespace orvex::audit_tool

int main(int argc, char** argv) {
  namespace tool = orvex::audit_tool;
  // Ed25519 verification needs no random source, so a failed start-up of
  // the library is not fatal here: it falls back to its portable code.
  [[maybe_unused]] const int sodium_status = sodium_init();
  // No C++ exception leaves the program; the only one expected is a failed
  // allocation.
  try {
    return tool::run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    tool::report_error(stderr, tool::messages::kOutOfMemory);
  } catch (...) {
    tool::report_error(stderr, tool::messages::kInternalError);
  }
  return tool::kExitTrouble;
}
