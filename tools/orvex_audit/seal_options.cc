#include "orvex_audit/seal_options.h"

#include "orvex_audit/input_file.h"
#include "orvex_audit/messages.h"
#include "orvex_audit/seal_messages.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;
namespace sm = seal_messages;

constexpr std::string_view kEndOfOptions = "--";

Failure usage(std::string_view text) { return Failure::ordinary(std::string(text)); }

}  // namespace

bool take_seals_option(std::string_view argument, std::string_view& joined_value, bool& value_follows) {
  value_follows = argument == kSealsOption;
  if (value_follows) return true;
  if (argument.size() > kSealsOption.size() && argument.substr(0, kSealsOption.size()) == kSealsOption &&
      argument[kSealsOption.size()] == '=') {
    joined_value = argument.substr(kSealsOption.size() + 1);
    return true;
  }
  return false;
}

Result<Options> parse_seal(const std::vector<std::string>& arguments, std::size_t at) {
  Options options;
  options.command = Command::kSeal;
  bool have_seals = false;
  bool options_ended = false;
  for (; at < arguments.size(); ++at) {
    const std::string_view argument = arguments[at];
    const bool is_option = !options_ended && argument.size() > 1 && argument.front() == '-';
    if (!is_option) {
      if (argument == kStandardInputArgument) return usage(sm::kStandardInputNotSealable);
      options.files.emplace_back(argument);
      continue;
    }
    if (argument == kEndOfOptions) {
      options_ended = true;
      continue;
    }
    std::string_view value;
    bool value_follows = false;
    if (!take_seals_option(argument, value, value_follows)) return usage(m::fill(m::kUnknownOption, {argument}));
    if (value_follows) {
      if (at + 1 == arguments.size()) return usage(sm::kMissingSealsValue);
      value = arguments[++at];
    }
    if (have_seals) return usage(sm::kRepeatedSeals);
    if (value.empty()) return usage(sm::kMissingSealsValue);
    have_seals = true;
    options.seals = std::string(value);
  }
  if (!have_seals) return usage(sm::kMissingSealsOption);
  if (options.files.empty()) return usage(sm::kNothingToSeal);
  return options;
}

}  // namespace orvex::audit_tool
