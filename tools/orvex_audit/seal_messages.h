// Every fixed text of the seal chain: why a line of a seal file is not a
// seal, what `seal` reports, and what `verify --seals` finds. Each "{}" is
// filled in order by messages::fill(). Tests compare against these words, so
// they change only here.
#pragma once

#include <string_view>

namespace orvex::audit_tool::seal_messages {

// ---- Why one line of a seal file is not a seal ----
inline constexpr std::string_view kTooLong = "not a seal: line longer than {} bytes";
inline constexpr std::string_view kTorn = "not a seal: the seal file ends without a line feed";
// The reader's own message, then the column it points at.
inline constexpr std::string_view kNotJson = "not a seal: not JSON: {} at column {}";
inline constexpr std::string_view kNotObject = "not a seal: not a JSON object";
// Position (1-based), the key as it stands in the line, the expected name.
inline constexpr std::string_view kWrongMember = "not a seal: member {} is {} where \"{}\" belongs";
inline constexpr std::string_view kMissingMember = "not a seal: missing member \"{}\"";
inline constexpr std::string_view kExtraMember = "not a seal: extra member after \"{}\"";
// Member name, then what it must be.
inline constexpr std::string_view kWrongValue = "not a seal: \"{}\" is not {}";
inline constexpr std::string_view kUnknownFormat = "not a seal: seal format {} is not known";
inline constexpr std::string_view kNotCanonical = "not a seal: not written as the sealer writes it, at column {}";

// What a member's value must be, for kWrongValue.
inline constexpr std::string_view kWholeNumber = "a whole number below 2^63";
inline constexpr std::string_view kBaseName = "a file's base name (not empty, no \"/\", not \".\" or \"..\")";
inline constexpr std::string_view kTimestampOrNull = "a timestamp text or null";
inline constexpr std::string_view kTimestamp = "a timestamp text";
inline constexpr std::string_view kPreviousValue = "null or 128 lowercase hexadecimal digits";
inline constexpr std::string_view kDigestValue = "64 lowercase hexadecimal digits";
inline constexpr std::string_view kKeyValue = "64 lowercase hexadecimal digits";
inline constexpr std::string_view kSignatureValue = "128 lowercase hexadecimal digits";

// ---- `orvex-audit seal` errors, each after the program prefix ----
inline constexpr std::string_view kMissingSealsOption = "seal needs --seals SEALFILE";
inline constexpr std::string_view kMissingSealsValue = "--seals needs a value";
inline constexpr std::string_view kRepeatedSeals = "--seals given more than once";
inline constexpr std::string_view kNothingToSeal = "seal needs at least one LOGFILE";
inline constexpr std::string_view kStandardInputNotSealable = "seal needs files by name, not standard input";
// Seal file name, line number, reason.
inline constexpr std::string_view kSealFileDamaged = "{}:{}: {}; no seal was added";
inline constexpr std::string_view kNameNotUtf8 = "{}: the file's name is not UTF-8 and cannot be sealed";
inline constexpr std::string_view kIsDirectory = "{}: is a directory, not a log file";
// Name of the file, then the system's error text.
inline constexpr std::string_view kFileError = "{}: {}";
inline constexpr std::string_view kSealWriteFailed = "{}: the seal was not written in full: {}";

// ---- Damage in a compressed input ----
inline constexpr std::string_view kGzipTruncated = "gzip stream truncated after {} bytes of text";
inline constexpr std::string_view kGzipCorrupt = "corrupt gzip stream after {} bytes of text: {}";
inline constexpr std::string_view kGzipTrailingData = "data that is not gzip after the compressed stream";

}  // namespace orvex::audit_tool::seal_messages
