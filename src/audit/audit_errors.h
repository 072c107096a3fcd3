// The fixed texts of the signed audit trail, each written whole: failure
// texts of the signing key and the report of a lost record ("{}" marks where
// a value goes, filled in order by fill_message). The record's member names
// and result words are its layout, in audit/record_layout.h. Callers and
// tests use these names, never copies of the texts.
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

}  // namespace orvex::audit::messages
