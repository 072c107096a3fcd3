#include "orvex_audit/command_line.h"

#include <string_view>

#include "orvex_audit/hex_digits.h"
#include "orvex_audit/messages.h"
#include "orvex_audit/seal_options.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

constexpr std::string_view kPubkeyCommand = "pubkey";
constexpr std::string_view kVerifyCommand = "verify";
constexpr std::string_view kKeyOption = "--public-key";
constexpr std::string_view kKeyOptionJoined = "--public-key=";
constexpr std::string_view kEndOfOptions = "--";

bool is_help(std::string_view argument) { return argument == "-h" || argument == "--help"; }

Failure usage(std::string text) { return Failure::ordinary(std::move(text)); }

Result<audit::PublicKey> pinned_key(std::string_view hex) {
  audit::PublicKey key;
  if (!decode_hex(hex, HexCase::Either, key)) return usage(m::fill(m::kBadPinnedKey, {hex}));
  return key;
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
    std::string_view value;
    if (argument == kKeyOption) {
      if (at + 1 == arguments.size()) return usage(std::string(m::kMissingKeyValue));
      value = arguments[++at];
    } else if (argument.substr(0, kKeyOptionJoined.size()) == kKeyOptionJoined) {
      value = argument.substr(kKeyOptionJoined.size());
    } else {
      return usage(m::fill(m::kUnknownOption, {argument}));
    }
    if (options.pinned_key.has_value()) return usage(std::string(m::kRepeatedKey));
    Result<audit::PublicKey> key = pinned_key(value);
    if (!key.ok()) return std::move(key).failure();
    options.pinned_key = key.value();
  }
  return options;
}

}  // namespace

Result<Options> parse_command_line(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == kEndOfOptions) break;
    if (is_help(argument)) return Options{};
  }
  if (arguments.empty()) return usage(std::string(m::kMissingCommand));
  const std::string_view command = arguments[0];
  if (command == kPubkeyCommand) {
    if (arguments.size() > 1) return usage(std::string(m::kPubkeyTakesNoArguments));
    Options options;
    options.command = Command::kPubkey;
    return options;
  }
  if (command == kVerifyCommand) return parse_verify(arguments, 1);
  if (command == kSealCommand) return parse_seal(arguments, 1);
  return usage(m::fill(m::kUnknownCommand, {command}));
}

}  // namespace orvex::audit_tool
