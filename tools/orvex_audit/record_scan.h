// Finds the ten members of an audit record line and hands out their values
// as the raw texts that stand in the line. The signature covers exactly
// those bytes, so nothing is re-read as a number or re-written: the reader's
// float conversion does not round-trip every shortest text, and re-writing
// could change bytes of an authentic record.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "audit/audit_errors.h"
#include "common/result.h"

namespace orvex::audit_tool {

inline constexpr std::size_t kRecordMembers = 10;
inline constexpr std::size_t kSignedMembers = 8;

// The members of a record in the order in which the log writes them; the
// first kSignedMembers are the ones the signature covers.
inline constexpr std::array<std::string_view, kRecordMembers> kRecordOrder = {
    audit::messages::kTimestamp,  audit::messages::kIntentId,     audit::messages::kObjective,
    audit::messages::kMode,       audit::messages::kVersion,      audit::messages::kActionParams,
    audit::messages::kResult,     audit::messages::kReason,       audit::messages::kPublicKey,
    audit::messages::kSignature};
inline constexpr std::size_t kPublicKeyMember = 8;
inline constexpr std::size_t kSignatureMember = 9;

// Raw value texts, indexed like kRecordOrder; they point into the scanned line.
using RawMembers = std::array<std::string_view, kRecordMembers>;

// REQUIRES: `line` holds no line feed and no carriage return.
// Accepts only a JSON object written compactly (no whitespace between its
// members) whose keys are exactly kRecordOrder, spelt without escapes and
// in that order. The failure text is the one reason the line is refused.
Result<RawMembers> scan_record(std::string_view line);

}  // namespace orvex::audit_tool
