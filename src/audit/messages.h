// The fixed texts of the signed audit trail: failure texts of the signing
// key, the log file's name and the report of a lost record. (The record's
// member names and result words are its layout, in audit/record_layout.h.)
// Callers and tests use these names, never copies of the texts.
#pragma once

#include <string_view>

namespace orvex::audit::messages {

// The environment variable that holds the signing seed as hexadecimal text.
inline constexpr const char* kSeedVariable = "ORVEX_SEED";

// Each failure text is "<message>: <detail>".
inline constexpr std::string_view kSeedMissing = "Veltrane requires ORVEX_SEED for integrity.: NotPresent";
// The value's length in bytes and the offset of its first byte that is not
// UTF-8, never the value itself: it is the secret seed, one stray byte away.
inline constexpr std::string_view kSeedNotUnicode =
    "Veltrane requires ORVEX_SEED for integrity.: NotUnicode({} bytes, not UTF-8 at byte {})";
inline constexpr std::string_view kSeedOddLength = "Invalid ORVEX_SEED; expected hex string.: OddLength";
// Followed by a character literal, kBadHexIndex, the decimal index, kBadHexEnd.
inline constexpr std::string_view kSeedBadHexStart = "Invalid ORVEX_SEED; expected hex string.: InvalidHexCharacter { c: ";
inline constexpr std::string_view kSeedBadHexIndex = ", index: ";
inline constexpr std::string_view kSeedBadHexEnd = " }";
inline constexpr std::string_view kSeedWrongLength =
    "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())";

// Resolved against the working directory at the time of each record.
inline constexpr const char* kLogFileName = "orvex_audit.log";

// Written to standard error, one line per record that did not reach the log
// whole: the log's name and the system's error text.
inline constexpr std::string_view kRecordLost = "orvex_core: audit record lost: {}: {}\n";

}  // namespace orvex::audit::messages
