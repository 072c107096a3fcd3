#include "orvex_audit/command_line.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/fill_message.h"
#include "orvex_audit/input_file.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

constexpr std::string_view kPubkeyCommand = "pubkey";
constexpr std::string_view kVerifyCommand = "verify";
constexpr std::string_view kKeyOption = "--public-key";
constexpr std::string_view kKeyOptionJoined = "--public-key=";
constexpr std::string_view kKeysOption = "--keys";
constexpr std::string_view kKeysOptionJoined = "--keys=";
constexpr std::string_view kSealCommand = "seal";
constexpr std::string_view kSealsOption = "--seals";
constexpr std::string_view kSealsOptionJoined = "--seals=";
constexpr std::string_view kRequireSealedOption = "--require-sealed";
constexpr std::string_view kJobsOption = "-j";
constexpr std::string_view kJobsOptionLong = "--jobs";
constexpr std::string_view kJobsOptionLongJoined = "--jobs=";
constexpr std::string_view kFormatOption = "--format";
constexpr std::string_view kFormatOptionJoined = "--format=";
constexpr std::string_view kFormatText = "text";
constexpr std::string_view kFormatJson = "json";
constexpr std::string_view kMaxLineBytesOption = "--max-line-bytes";
constexpr std::string_view kMaxLineBytesOptionJoined = "--max-line-bytes=";
// A line limit above this would not be a limit; it also keeps the value's
// digits within a 64-bit count.
constexpr std::uint64_t kLargestLineLimit = std::uint64_t{1} << 40;
// More threads than this only cost memory.
constexpr unsigned kMaxJobs = 1024;
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

namespace sm = seal_messages;

// --seals, once, with a value that is not empty.
Result<Unit> take_seals(std::string_view value, Options& options) {
  if (!options.seals.empty()) return usage(std::string(sm::kRepeatedSeals));
  if (value.empty()) return usage(std::string(sm::kMissingSealsValue));
  options.seals = std::string(value);
  return Unit{};
}

Result<unsigned> parse_jobs(std::string_view text) {
  unsigned jobs = 0;
  bool fits = !text.empty() && text.size() <= 4;
  for (const char c : text) {
    fits = fits && c >= '0' && c <= '9';
    if (fits) jobs = jobs * 10 + static_cast<unsigned>(c - '0');
  }
  if (!fits || jobs < 1 || jobs > kMaxJobs) return usage(fill_message(sm::kBadJobs, {std::to_string(kMaxJobs), text}));
  return jobs;
}

Result<std::size_t> parse_max_line_bytes(std::string_view text) {
  std::uint64_t bytes = 0;
  bool fits = !text.empty() && text.size() <= 13;
  for (const char c : text) {
    fits = fits && c >= '0' && c <= '9';
    if (fits) bytes = bytes * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (!fits || bytes < 1 || bytes > kLargestLineLimit) {
    return usage(fill_message(m::kBadMaxLineBytes, {std::to_string(kLargestLineLimit), text}));
  }
  return static_cast<std::size_t>(bytes);
}

// The value of -j at arguments[at]: "-j N", "-jN", "--jobs N" or "--jobs=N".
std::optional<Result<std::string_view>> jobs_value(const std::vector<std::string>& arguments, std::size_t& at) {
  const std::string_view argument = arguments[at];
  if (argument.size() > kJobsOption.size() && argument.substr(0, kJobsOption.size()) == kJobsOption &&
      argument[kJobsOption.size()] != '-') {
    return Result<std::string_view>(argument.substr(kJobsOption.size()));
  }
  if (auto value = option_value(arguments, at, kJobsOption, kJobsOption, sm::kMissingJobsValue)) return value;
  return option_value(arguments, at, kJobsOptionLong, kJobsOptionLongJoined, sm::kMissingJobsValue);
}

// `arguments` from the one after "seal".
Result<Options> parse_seal(const std::vector<std::string>& arguments, std::size_t at) {
  Options options;
  options.command = Command::kSeal;
  bool options_ended = false;
  for (; at < arguments.size(); ++at) {
    const std::string_view argument = arguments[at];
    const bool is_option = !options_ended && argument.size() > 1 && argument.front() == '-';
    if (!is_option) {
      if (argument == kStandardInputArgument) return usage(std::string(sm::kStandardInputNotSealable));
      options.files.emplace_back(argument);
      continue;
    }
    if (argument == kEndOfOptions) {
      options_ended = true;
      continue;
    }
    if (auto path = option_value(arguments, at, kSealsOption, kSealsOptionJoined, sm::kMissingSealsValue)) {
      if (!path->ok()) return std::move(*path).failure();
      if (Result<Unit> taken = take_seals(path->value(), options); !taken.ok()) return std::move(taken).failure();
      continue;
    }
    return usage(fill_message(m::kUnknownOption, {argument}));
  }
  if (options.seals.empty()) return usage(std::string(sm::kMissingSealsOption));
  if (options.files.empty()) return usage(std::string(sm::kNothingToSeal));
  return options;
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
    if (auto path = option_value(arguments, at, kSealsOption, kSealsOptionJoined, sm::kMissingSealsValue)) {
      if (!path->ok()) return std::move(*path).failure();
      if (Result<Unit> taken = take_seals(path->value(), options); !taken.ok()) return std::move(taken).failure();
      continue;
    }
    if (argument == kRequireSealedOption) {
      options.require_sealed = true;
      continue;
    }
    if (auto jobs = jobs_value(arguments, at)) {
      if (!jobs->ok()) return std::move(*jobs).failure();
      Result<unsigned> parsed = parse_jobs(jobs->value());
      if (!parsed.ok()) return std::move(parsed).failure();
      options.jobs = parsed.value();
      continue;
    }
    if (auto limit = option_value(arguments, at, kMaxLineBytesOption, kMaxLineBytesOptionJoined,
                                  m::kMissingMaxLineBytesValue)) {
      if (!limit->ok()) return std::move(*limit).failure();
      Result<std::size_t> parsed = parse_max_line_bytes(limit->value());
      if (!parsed.ok()) return std::move(parsed).failure();
      options.max_line_bytes = parsed.value();
      continue;
    }
    if (auto format = option_value(arguments, at, kFormatOption, kFormatOptionJoined, sm::kMissingFormatValue)) {
      if (!format->ok()) return std::move(*format).failure();
      if (format->value() == kFormatJson) {
        options.format = Options::Format::kJson;
      } else if (format->value() == kFormatText) {
        options.format = Options::Format::kText;
      } else {
        return usage(fill_message(sm::kBadFormat, {format->value()}));
      }
      continue;
    }
    return usage(fill_message(m::kUnknownOption, {argument}));
  }
  if (options.require_sealed && options.seals.empty()) return usage(std::string(sm::kRequireSealedWithoutSeals));
  return options;
}

}  // namespace

Result<Options> parse_command_line(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return usage(std::string(m::kMissingCommand));
  const std::string_view command = arguments[0];
  if (is_help(command)) return command_only(Command::kHelp);
  if (is_version(command)) return command_only(Command::kVersion);
  if (command != kPubkeyCommand && command != kVerifyCommand && command != kSealCommand) {
    return usage(fill_message(m::kUnknownCommand, {command}));
  }
  if (arguments.size() > 1 && is_help(arguments[1])) return command_only(Command::kHelp);
  if (arguments.size() > 1 && is_version(arguments[1])) return command_only(Command::kVersion);
  if (command == kPubkeyCommand) {
    if (arguments.size() > 1) return usage(std::string(m::kPubkeyTakesNoArguments));
    return command_only(Command::kPubkey);
  }
  if (command == kSealCommand) return parse_seal(arguments, 1);
  return parse_verify(arguments, 1);
}

}  // namespace orvex::audit_tool
