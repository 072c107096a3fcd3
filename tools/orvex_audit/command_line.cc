#include "orvex_audit/command_line.h"

#include <optional>
#include <string_view>

#include "orvex_audit/messages.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

constexpr std::string_view kPubkeyCommand = "pubkey";
constexpr std::string_view kVerifyCommand = "verify";
constexpr std::string_view kKeyOption = "--public-key";
constexpr std::string_view kKeyOptionJoined = "--public-key=";
constexpr std::string_view kKeysOption = "--keys";
constexpr std::string_view kKeysOptionJoined = "--keys=";
constexpr std::string_view kEndOfOptions = "--";

bool is_help(std::string_view argument) { return argument == "-h" || argument == "--help"; }
bool is_version(std::string_view argument) { return argument == "--version"; }

Failure usage(std::string text) { return Failure::ordinary(std::move(text)); }

Options command_only(Command command) {
  Options options;
  options.command = command;
  return options;
}

// The value of `option` at arguments[at], given as "OPTION VALUE" or
// "OPTION=VALUE"; advances `at` past a separate value. Empty when the
// argument is not this option; the failure when its value is missing.
std::optional<Result<std::string_view>> option_value(const std::vector<std::string>& arguments, std::size_t& at,
                                                     std::string_view option, std::string_view joined,
                                                     std::string_view missing_value) {
  const std::string_view argument = arguments[at];
  if (argument == option) {
    if (at + 1 == arguments.size()) return Result<std::string_view>(usage(std::string(missing_value)));
    return Result<std::string_view>(std::string_view(arguments[++at]));
  }
  if (argument.substr(0, joined.size()) == joined) return Result<std::string_view>(argument.substr(joined.size()));
  return std::nullopt;
}

// `arguments` from the one after "verify".
Result<Options> parse_verify(const std::vector<std::string>& arguments, std::size_t at) {
  Options options;
  options.command = Command::kVerify;
  bool options_ended = false;
  for (; at < arguments.size(); ++at) {
    const std::string_view argument = arguments[at];
    const bool is_option = !options_ended && argument.size() > 1 && argument.front() == '-';
    if (!is_option) {
      options.files.emplace_back(argument);
      continue;
    }
    if (argument == kEndOfOptions) {
      options_ended = true;
      continue;
    }
    if (auto hex = option_value(arguments, at, kKeyOption, kKeyOptionJoined, m::kMissingKeyValue)) {
      if (!hex->ok()) return std::move(*hex).failure();
      Result<audit::PublicKey> key = parse_pinned_key(hex->value());
      if (!key.ok()) return std::move(key).failure();
      options.pinned_keys.add(key.value());
      continue;
    }
    if (auto path = option_value(arguments, at, kKeysOption, kKeysOptionJoined, m::kMissingKeysValue)) {
      if (!path->ok()) return std::move(*path).failure();
      Result<Unit> added = add_keys_from_file(std::string(path->value()), options.pinned_keys);
      if (!added.ok()) return std::move(added).failure();
      continue;
    }
    return usage(m::fill(m::kUnknownOption, {argument}));
  }
  return options;
}

}  // namespace

Result<Options> parse_command_line(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return usage(std::string(m::kMissingCommand));
  const std::string_view command = arguments[0];
  if (is_help(command)) return command_only(Command::kHelp);
  if (is_version(command)) return command_only(Command::kVersion);
  if (command != kPubkeyCommand && command != kVerifyCommand) return usage(m::fill(m::kUnknownCommand, {command}));
  if (arguments.size() > 1 && is_help(arguments[1])) return command_only(Command::kHelp);
  if (arguments.size() > 1 && is_version(arguments[1])) return command_only(Command::kVersion);
  if (command == kPubkeyCommand) {
    if (arguments.size() > 1) return usage(std::string(m::kPubkeyTakesNoArguments));
    return command_only(Command::kPubkey);
  }
  return parse_verify(arguments, 1);
}

}  // namespace orvex::audit_tool
