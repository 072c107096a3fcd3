#include "orvex_audit/command_line.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/fill_message.h"
#include "orvex_audit/input_file.h"
#include "orvex_audit/seal_line.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;
namespace sm = seal_messages;

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
constexpr std::string_view kSealInitCommand = "seal-init";
constexpr std::string_view kKeyFileOption = "--key-file";
constexpr std::string_view kKeyFileOptionJoined = "--key-file=";
constexpr std::string_view kChainOption = "--chain";
constexpr std::string_view kChainOptionJoined = "--chain=";
constexpr std::string_view kRecordsKeyOption = "--records-key";
constexpr std::string_view kAnchorOption = "--anchor";
constexpr std::string_view kAnchorOptionJoined = "--anchor=";
constexpr std::string_view kAnchorsOption = "--anchors";
constexpr std::string_view kAnchorsOptionJoined = "--anchors=";
constexpr std::string_view kActiveOption = "--active";
constexpr std::string_view kActiveOptionJoined = "--active=";
constexpr std::string_view kMaxSealAgeOption = "--max-seal-age";
constexpr std::string_view kMaxSealAgeOptionJoined = "--max-seal-age=";
// Ten years: a longer age is a typing error, not a schedule.
constexpr std::uint64_t kMaxSealAgeSeconds = std::uint64_t{3650} * 86400;
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

// A duration as N followed by s, m, h or d.
Result<std::uint64_t> parse_duration(std::string_view text) {
  std::uint64_t unit = 0;
  if (!text.empty()) {
    switch (text.back()) {
      case 's': unit = 1; break;
      case 'm': unit = 60; break;
      case 'h': unit = 3600; break;
      case 'd': unit = 86400; break;
      default: break;
    }
  }
  const std::string_view digits = text.substr(0, text.empty() ? 0 : text.size() - 1);
  std::uint64_t count = 0;
  bool fits = unit > 0 && !digits.empty() && digits.size() <= 9;
  for (const char c : digits) {
    fits = fits && c >= '0' && c <= '9';
    if (fits) count = count * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (!fits || count == 0 || count * unit > kMaxSealAgeSeconds) {
    return usage(fill_message(sm::kBadDuration, {text}));
  }
  return count * unit;
}

// --key-file, once, with a value that is not empty. Empty when the
// argument is not --key-file.
std::optional<Result<Unit>> take_key_file(const std::vector<std::string>& arguments, std::size_t& at,
                                          Options& options) {
  auto path = option_value(arguments, at, kKeyFileOption, kKeyFileOptionJoined, sm::kMissingKeyFileValue);
  if (!path) return std::nullopt;
  if (!path->ok()) return Result<Unit>(std::move(*path).failure());
  if (path->value().empty()) return Result<Unit>(usage(std::string(sm::kMissingKeyFileValue)));
  if (!options.key_file.empty()) return Result<Unit>(usage(std::string(sm::kRepeatedKeyFile)));
  options.key_file = std::string(path->value());
  return Result<Unit>(Unit{});
}

// `arguments` from the one after "seal-init".
Result<Options> parse_seal_init(const std::vector<std::string>& arguments, std::size_t at) {
  Options options;
  options.command = Command::kSealInit;
  for (; at < arguments.size(); ++at) {
    if (auto taken = take_key_file(arguments, at, options)) {
      if (!taken->ok()) return std::move(*taken).failure();
      continue;
    }
    if (auto name = option_value(arguments, at, kChainOption, kChainOptionJoined, sm::kMissingChainValue)) {
      if (!name->ok()) return std::move(*name).failure();
      if (!is_chain_name(name->value())) return usage(fill_message(sm::kBadChainName, {name->value()}));
      options.chain = std::string(name->value());
      continue;
    }
    return usage(fill_message(m::kUnknownOption, {arguments[at]}));
  }
  if (options.key_file.empty()) return usage(std::string(sm::kSealInitNeedsKeyFile));
  return options;
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
    if (auto taken = take_key_file(arguments, at, options)) {
      if (!taken->ok()) return std::move(*taken).failure();
      continue;
    }
    if (argument == kRecordsKeyOption) {
      options.records_key = true;
      continue;
    }
    return usage(fill_message(m::kUnknownOption, {argument}));
  }
  if (options.seals.empty()) return usage(std::string(sm::kMissingSealsOption));
  if (options.files.empty()) return usage(std::string(sm::kNothingToSeal));
  if (options.records_key && !options.key_file.empty()) return usage(std::string(sm::kKeyFileAndRecordsKey));
  if (!options.records_key && options.key_file.empty()) return usage(std::string(sm::kSealNeedsKey));
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
    if (auto anchor = option_value(arguments, at, kAnchorOption, kAnchorOptionJoined, sm::kMissingAnchorValue)) {
      if (!anchor->ok()) return std::move(*anchor).failure();
      if (Result<Unit> added = add_anchor(anchor->value(), options.anchors); !added.ok()) {
        return std::move(added).failure();
      }
      continue;
    }
    if (auto path = option_value(arguments, at, kAnchorsOption, kAnchorsOptionJoined, sm::kMissingAnchorsValue)) {
      if (!path->ok()) return std::move(*path).failure();
      Result<Unit> added = add_anchors_from_file(std::string(path->value()), options.anchors);
      if (!added.ok()) return std::move(added).failure();
      continue;
    }
    if (auto name = option_value(arguments, at, kActiveOption, kActiveOptionJoined, sm::kMissingActiveValue)) {
      if (!name->ok()) return std::move(*name).failure();
      if (name->value().empty()) return usage(std::string(sm::kMissingActiveValue));
      options.active.emplace_back(name->value());
      continue;
    }
    if (auto age = option_value(arguments, at, kMaxSealAgeOption, kMaxSealAgeOptionJoined, sm::kMissingMaxSealAgeValue)) {
      if (!age->ok()) return std::move(*age).failure();
      Result<std::uint64_t> seconds = parse_duration(age->value());
      if (!seconds.ok()) return std::move(seconds).failure();
      options.max_seal_age = seconds.value();
      options.max_seal_age_text = std::string(age->value());
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
  if (options.seals.empty()) {
    if (options.require_sealed) return usage(std::string(sm::kRequireSealedWithoutSeals));
    if (!options.anchors.empty()) return usage(std::string(sm::kAnchorWithoutSeals));
    if (!options.active.empty()) return usage(std::string(sm::kActiveWithoutSeals));
    if (options.max_seal_age.has_value()) return usage(std::string(sm::kMaxSealAgeWithoutSeals));
  }
  return options;
}

}  // namespace

Result<Options> parse_command_line(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return usage(std::string(m::kMissingCommand));
  const std::string_view command = arguments[0];
  if (is_help(command)) return command_only(Command::kHelp);
  if (is_version(command)) return command_only(Command::kVersion);
  if (command != kPubkeyCommand && command != kVerifyCommand && command != kSealCommand &&
      command != kSealInitCommand) {
    return usage(fill_message(m::kUnknownCommand, {command}));
  }
  if (arguments.size() > 1 && is_help(arguments[1])) return command_only(Command::kHelp);
  if (arguments.size() > 1 && is_version(arguments[1])) return command_only(Command::kVersion);
  if (command == kPubkeyCommand) {
    if (arguments.size() > 1) return usage(std::string(m::kPubkeyTakesNoArguments));
    return command_only(Command::kPubkey);
  }
  if (command == kSealCommand) return parse_seal(arguments, 1);
  if (command == kSealInitCommand) return parse_seal_init(arguments, 1);
  return parse_verify(arguments, 1);
}

}  // namespace orvex::audit_tool
