// The fixed texts of the signed audit trail, each written whole: failure
// texts of the signing key and the report of a lost record ("{}" marks where
// a value goes, filled in order by fill_message), and the member names and
// result words of the signed text and the record. Callers and tests use
// these names, never copies of the texts.
#pragma once

#include <string_view>

namespace orvex::audit::messages {

// Each failure text is "<message>: <detail>".
inline constexpr std::string_view kSeedMissing = "Veltrane requires ORVEX_SEED for integrity.: NotPresent";
// The value's length in bytes and the offset of its first byte that is not
// UTF-8, never the value itself: it is the secret seed, one stray byte away.
inline constexpr std::string_view kSeedNotUnicode =
    "Veltrane requires ORVEX_SEED for integrity.: NotUnicode({} bytes, not UTF-8 at byte {})";
inline constexpr std::string_view kSeedOddLength = "Invalid ORVEX_SEED; expected hex string.: OddLength";
// The character as a quoted literal, then its index in the trimmed value.
inline constexpr std::string_view kSeedBadHex =
    "Invalid ORVEX_SEED; expected hex string.: InvalidHexCharacter {{ c: {}, index: {} }}";
inline constexpr std::string_view kSeedWrongLength =
    "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())";

// Written to standard error, one line per record that did not reach the log
// whole: the log's name and the system's error text.
inline constexpr std::string_view kRecordLost = "orvex_core: audit record lost: {}: {}\n";

inline constexpr std::string_view kResultPass = "PASS";
inline constexpr std::string_view kResultFail = "FAIL";

// Member names shared by the signed text and the record.
inline constexpr std::string_view kTimestamp = "timestamp";
inline constexpr std::string_view kIntentId = "intent_id";
inline constexpr std::string_view kObjective = "objective";
inline constexpr std::string_view kMode = "mode";
inline constexpr std::string_view kVersion = "version";
inline constexpr std::string_view kActionParams = "action_params";
inline constexpr std::string_view kResult = "result";
inline constexpr std::string_view kReason = "reason";
// Members of the record only.
inline constexpr std::string_view kPublicKey = "public_key";
inline constexpr std::string_view kSignature = "signature";

}  // namespace orvex::audit::messages
