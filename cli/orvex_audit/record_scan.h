// Finds the members of an audit record line and hands out their values
// as the raw texts that stand in the line. The signature covers exactly
// those bytes, so nothing is re-read as a number or re-written: the reader's
// float conversion does not round-trip every shortest text, and re-writing
// could change bytes of an authentic record.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "audit/record_layout.h"
#include "common/result.h"

namespace orvex::audit_tool {

namespace layout = audit::record_layout;

// Raw value texts, indexed by layout::Member; they point into the scanned
// line.
using RawMembers = std::array<std::string_view, layout::kMemberCount>;

// REQUIRES: `line` holds no line feed and no carriage return.
// Accepts only a JSON object written compactly (no whitespace between its
// members) whose keys are exactly the layout's names, spelt without escapes
// and in the layout's order. The failure text is the one reason the line is refused.
Result<RawMembers> scan_record(std::string_view line);

}  // namespace orvex::audit_tool
