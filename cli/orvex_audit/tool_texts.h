// Every fixed text that orvex-audit prints: why a line of the log fails,
// the summary, and the usage and I/O errors, each written whole. Each "{}"
// is filled in order by fill_message. Tests compare against these words, so
// they change only here.
#pragma once

#include <string_view>

namespace orvex::audit_tool::messages {

// ---- Why one line of the log is not a valid record ----
inline constexpr std::string_view kTornLine = "torn line: the log ends without a line feed";
inline constexpr std::string_view kCarriageReturn = "raw carriage return at column {}";
inline constexpr std::string_view kNotUtf8 = "not UTF-8 at column {}";
// The reader's own message, then the column it points at.
inline constexpr std::string_view kNotJson = "not JSON: {} at column {}";
inline constexpr std::string_view kNotObject = "not a JSON object";
inline constexpr std::string_view kNotCompact = "whitespace between members at column {}: records are compact";
// Position (1-based), the key as it stands in the line, the expected name.
inline constexpr std::string_view kWrongMember = "member {} is {} where \"{}\" belongs";
inline constexpr std::string_view kMissingMember = "missing member \"{}\"";
inline constexpr std::string_view kExtraMember = "extra member {} after \"{}\"";
inline constexpr std::string_view kBadHex = "\"{}\" is not {} lowercase hexadecimal digits";
inline constexpr std::string_view kForeignKey = "signed by a foreign key {}";
inline constexpr std::string_view kBadSignature = "bad signature: the signed members do not match it";
// The line's length and the limit, both in bytes.
inline constexpr std::string_view kLineTooLong = "line of {} bytes is longer than the limit of {} bytes";
// The earlier line's input name and line number.
inline constexpr std::string_view kRepeatedLine = "repeats {}:{} byte for byte";

// ---- Reports on standard output ----
// File name, line number, reason.
inline constexpr std::string_view kLineReport = "{}:{}: {}\n";
// File name, reason: a finding about a whole input.
inline constexpr std::string_view kFileReport = "{}: {}\n";
inline constexpr std::string_view kSummary = "{} records read: {} valid, {} invalid\n";
// Public key, number of valid records it signed; first seen first.
inline constexpr std::string_view kKeySeen = "key {}: {} valid records\n";
inline constexpr std::string_view kKeysNotListed = "more than {} distinct keys: the rest are not listed\n";
// Without pinned keys: the number of keys that signed valid records (or
// kManyKeys), when more than one did.
inline constexpr std::string_view kSeveralKeysUnpinned =
    "{} keys signed valid records and none is pinned: pin the trusted ones with --public-key HEX or --keys FILE\n";
inline constexpr std::string_view kManyKeys = "more than {}";
inline constexpr std::string_view kVersion = "orvex-audit {}\n";
inline constexpr std::string_view kStandardInputName = "(standard input)";

// ---- Errors on standard error; each is the text of one kErrorLine ----
inline constexpr std::string_view kErrorLine = "orvex-audit: {}\n";
inline constexpr std::string_view kUsageHint =
    "usage: orvex-audit pubkey\n"
    "       orvex-audit verify [--public-key HEX]... [--keys FILE]... [--seals SEALFILE [--anchor NAME=HEX]...\n"
    "                          [--anchors FILE]... [--require-sealed] [--active LOG]... [--max-seal-age DURATION]]\n"
    "                          [--max-line-bytes N] [-j N] [--format text|json] [--] [FILE ...]\n"
    "       orvex-audit seal-init --key-file KEYFILE [--chain NAME]\n"
    "       orvex-audit seal (--key-file KEYFILE | --records-key) --seals SEALFILE [--] LOGFILE...\n"
    "       orvex-audit --help | --version\n";
inline constexpr std::string_view kMissingCommand = "missing command";
inline constexpr std::string_view kUnknownCommand = "unknown command \"{}\"";
inline constexpr std::string_view kUnknownOption = "unknown option \"{}\"";
inline constexpr std::string_view kMissingKeyValue = "--public-key needs a value";
inline constexpr std::string_view kMissingKeysValue = "--keys needs a value";
// The keys file's name, then the system's error text.
inline constexpr std::string_view kKeysFileError = "--keys {}: {}";
// The keys file's name, the line number, the line without surrounding blanks.
inline constexpr std::string_view kBadKeysLine = "--keys {}:{}: needs 64 hexadecimal digits, got \"{}\"";
// The keys file's name.
// The keys file's name, the line number, the line's length and the limit.
inline constexpr std::string_view kKeysLineTooLong = "--keys {}:{}: line of {} bytes is longer than the limit of {} bytes";
inline constexpr std::string_view kKeysFileWithoutKey = "--keys {}: holds no key, so it would pin nothing";
inline constexpr std::string_view kBadPinnedKey = "--public-key needs 64 hexadecimal digits, got \"{}\"";
inline constexpr std::string_view kMissingMaxLineBytesValue = "--max-line-bytes needs a value";
// The largest limit, then the value as given.
inline constexpr std::string_view kBadMaxLineBytes = "--max-line-bytes needs a whole number from 1 to {}, got \"{}\"";
inline constexpr std::string_view kPubkeyTakesNoArguments = "pubkey takes no arguments";
// Name of the file (or kStandardInputName), then the system's error text.
inline constexpr std::string_view kInputError = "{}: {}";
inline constexpr std::string_view kOutputError = "standard output: {}";
// Without pinned keys, when at most one key signed.
inline constexpr std::string_view kNothingPinned =
    "note: no key is pinned, so a record signed by any key passes; pin the trusted key with --public-key HEX";
// What the file is: one of the kinds below.
inline constexpr std::string_view kNotRegularFile = "is a {}, not a regular file";
inline constexpr std::string_view kFifoKind = "FIFO";
inline constexpr std::string_view kSocketKind = "socket";
inline constexpr std::string_view kCharacterDeviceKind = "character device";
inline constexpr std::string_view kBlockDeviceKind = "block device";
inline constexpr std::string_view kSpecialFileKind = "special file";
inline constexpr std::string_view kOutOfMemory = "out of memory";
inline constexpr std::string_view kInternalError = "internal error";

}  // namespace orvex::audit_tool::messages
