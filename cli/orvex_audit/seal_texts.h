// Every fixed text of the seal chain: why a line of a seal file is not a
// seal, what `seal` reports, and what `verify --seals` finds, each written
// whole. Each "{}" is filled in order by fill_message. Tests compare against
// these words, so they change only here.
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
inline constexpr std::string_view kChainNameValue =
    "a chain name (1 to 64 letters, digits, \".\", \"_\" or \"-\", not starting with \"-\")";

// ---- `orvex-audit seal` errors, each the text of one kErrorLine ----
inline constexpr std::string_view kMissingSealsOption = "seal needs --seals SEALFILE";
inline constexpr std::string_view kMissingSealsValue = "--seals needs a value";
inline constexpr std::string_view kRepeatedSeals = "--seals given more than once";
inline constexpr std::string_view kNothingToSeal = "seal needs at least one LOGFILE";
inline constexpr std::string_view kStandardInputNotSealable = "seal needs files by name, not standard input";
// ---- The sealing key file ----
// Key file name, then the system's error text.
inline constexpr std::string_view kKeyFileError = "--key-file {}: {}";
// Key file name, the first line that is wrong.
inline constexpr std::string_view kKeyFileMalformed = "--key-file {}: not a sealing key file as seal-init writes it, at line {}";
inline constexpr std::string_view kKeyFileNotRegular = "--key-file {}: not a regular file";
// Key file name, its mode in octal.
inline constexpr std::string_view kKeyFileOpenToOthers =
    "--key-file {}: mode {} lets others than its owner read or write it: make it 0600";
inline constexpr std::string_view kKeyFileExists = "--key-file {}: exists already, and a sealing key is never overwritten";
inline constexpr std::string_view kMissingKeyFileValue = "--key-file needs a value";
inline constexpr std::string_view kRepeatedKeyFile = "--key-file given more than once";
inline constexpr std::string_view kMissingChainValue = "--chain needs a value";
// The name given.
inline constexpr std::string_view kBadChainName =
    "--chain needs 1 to 64 letters, digits, \".\", \"_\" or \"-\", not starting with \"-\", got \"{}\"";
inline constexpr std::string_view kSealInitNeedsKeyFile = "seal-init needs --key-file KEYFILE";
inline constexpr std::string_view kSealNeedsKey =
    "seal needs --key-file KEYFILE (make one with seal-init), or --records-key for first-format seals";
inline constexpr std::string_view kKeyFileAndRecordsKey = "--key-file and --records-key exclude each other";
inline constexpr std::string_view kHostNameUnusable =
    "the host name is no chain name (1 to 64 letters, digits, \".\", \"_\" or \"-\"): give one with --chain";
// seal-init's output: the chain's name and its anchor.
inline constexpr std::string_view kAnchorLine = "{}={}\n";
// Seal file, line, the chain of the key file.
inline constexpr std::string_view kLastSealNotOurs =
    "{}:{}: the last seal is not the last one this key file's chain {} made; no seal was added";
// Seal file, the chain of the key file.
inline constexpr std::string_view kChainStartsOnSeals =
    "{}: the key file starts chain {}, but the seal file already holds seals; start a chain in a new seal file";
// Seal file, the chain, the sequence the key file expects.
inline constexpr std::string_view kChainSealsMissing =
    "{}: the key file of chain {} is at seal {}, but the seal file holds none of the chain's seals";

// ---- Pinned anchors ----
// Why, then the anchor as given.
inline constexpr std::string_view kBadAnchor = "--anchor {}: \"{}\"";
inline constexpr std::string_view kMissingAnchorValue = "--anchor needs a value";
inline constexpr std::string_view kMissingAnchorsValue = "--anchors needs a value";
// File name, then the system's error text.
inline constexpr std::string_view kAnchorsFileError = "--anchors {}: {}";
inline constexpr std::string_view kAnchorsFileEmpty = "--anchors {}: holds no anchor, and an empty list pins nothing";
// File name, line number, why.
inline constexpr std::string_view kBadAnchorsLine = "--anchors {}:{}: {}";
inline constexpr std::string_view kAnchorNoEquals = "an anchor is NAME=HEX";
inline constexpr std::string_view kAnchorBadName =
    "the chain name needs 1 to 64 letters, digits, \".\", \"_\" or \"-\", not starting with \"-\"";
inline constexpr std::string_view kAnchorBadKey = "the anchor needs 64 hexadecimal digits after \"=\"";
inline constexpr std::string_view kAnchorTwice = "the chain has a different anchor already";
inline constexpr std::string_view kAnchorTooLong = "longer than 256 bytes: not an anchor";

// ---- verify's usage errors for seals, threads and formats ----
inline constexpr std::string_view kMissingJobsValue = "-j needs a value";
inline constexpr std::string_view kBadJobs = "-j needs a whole number from 1 to {}, got \"{}\"";
inline constexpr std::string_view kMissingFormatValue = "--format needs a value";
inline constexpr std::string_view kBadFormat = "--format needs text or json, got \"{}\"";
inline constexpr std::string_view kRequireSealedWithoutSeals = "--require-sealed needs --seals SEALFILE";
inline constexpr std::string_view kAnchorWithoutSeals = "--anchor and --anchors need --seals SEALFILE";
inline constexpr std::string_view kActiveWithoutSeals = "--active needs --seals SEALFILE";
inline constexpr std::string_view kMaxSealAgeWithoutSeals = "--max-seal-age needs --seals SEALFILE";
inline constexpr std::string_view kMissingActiveValue = "--active needs a value";
inline constexpr std::string_view kMissingMaxSealAgeValue = "--max-seal-age needs a value";
inline constexpr std::string_view kBadDuration =
    "--max-seal-age needs a whole number and s, m, h or d (as 26h), up to 3650d, got \"{}\"";
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

// ---- What `verify --seals` finds ----
inline constexpr std::string_view kBadSealSignature = "bad seal signature: the seal's members do not match it";
inline constexpr std::string_view kSealKeyNotPinned = "seal signed by a key that is not pinned {}";
inline constexpr std::string_view kSealSecondKey =
    "seal signed by a second key {} while nothing is pinned: pin the keys with --public-key or --keys";
inline constexpr std::string_view kChainNamesMissingStart =
    "broken chain: the first seal names a predecessor that is not in the seal file";
inline constexpr std::string_view kChainRestarts =
    "broken chain: a new chain starts here, so the seals before this line are not linked to it";
// A chain seal's chain name.
inline constexpr std::string_view kChainNotPinned = "seal of chain {}, which has no pinned anchor";
inline constexpr std::string_view kSecondChainUnpinned =
    "seal of a second chain {} while no anchor is pinned: pin each chain's anchor with --anchor NAME=HEX";
// Chain, the sequence number of its first seal in the file.
inline constexpr std::string_view kChainStartsLate =
    "broken chain: chain {} begins here with its seal {}, and the seals before it are not in the seal file";
// Chain, the key that signed.
inline constexpr std::string_view kNotTheAnchor = "the first seal of chain {} is signed by {}, which is not its anchor";
// Sequence found, chain, sequence expected, the line of the chain's seal before.
inline constexpr std::string_view kWrongSequence =
    "broken chain: seal {} of chain {} where seal {} belongs, after the seal on line {}";
// Key that signed, chain, the line of the chain's seal before.
inline constexpr std::string_view kNotTheNamedKey =
    "seal signed by {}, not by the key that chain {}'s seal on line {} names as the next";
inline constexpr std::string_view kFirstFormatNotTrusted =
    "a first-format seal, signed with the records' key, is not trusted when seal anchors are pinned";
// Chain, seal file.
inline constexpr std::string_view kPinnedChainUnsealed = "chain {} has no seal in {}";
// Chain, seal file, line, when it was made, the age allowed as given.
inline constexpr std::string_view kChainTooOld =
    "the newest seal of chain {} ({}:{}) was made at {}, longer ago than {}";
inline constexpr std::string_view kNoAnchorPinned =
    "note: no seal anchor is pinned, so a seal chain begun by anyone passes; pin each chain's anchor with --anchor NAME=HEX";
// The line of the seal before it.
inline constexpr std::string_view kChainGap = "broken chain: the seal does not name the seal on line {} before it";
// File name, its earlier seal's line, bytes then and now.
inline constexpr std::string_view kSealShrank =
    "{} shrank between seals: line {} sealed {} bytes, this seal {} bytes";
// Seal file, seal line, the prefix length.
inline constexpr std::string_view kSealedPartChanged =
    "sealed part changed: the first {} bytes do not match the seal at {}:{}";
// Bytes the file holds, bytes sealed, seal file, seal line.
inline constexpr std::string_view kSealedPartCut =
    "sealed part cut short: the file holds {} bytes of the {} sealed at {}:{}";
// Lines held, seal file, seal line, lines counted by the seal.
inline constexpr std::string_view kSealedLinesDiffer = "the sealed part holds {} lines where the seal at {}:{} counts {}";
// Sealed file name; reported on the file's last seal line.
inline constexpr std::string_view kSealedFileMissing = "sealed file {} is not among the inputs";
inline constexpr std::string_view kSealedFileReplaced =
    "sealed file {} is not among the inputs: a later seal of that name covers a file with another first record";
// Number of records.
inline constexpr std::string_view kUnsealedRecords = "{} records after the sealed part are not sealed";
inline constexpr std::string_view kNothingSealed = "{} records and no seal: nothing of this file is sealed";
inline constexpr std::string_view kUnsealedActive =
    "{} records after the sealed part are not sealed yet: the active log, sealed at its next rotation";
inline constexpr std::string_view kNothingSealedActive =
    "{} records and no seal yet: the active log, sealed at its next rotation";

}  // namespace orvex::audit_tool::seal_messages
