// The options of `orvex-audit seal --seals SEALFILE LOGFILE...`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "orvex_audit/command_line.h"

namespace orvex::audit_tool {

inline constexpr std::string_view kSealCommand = "seal";
inline constexpr std::string_view kSealsOption = "--seals";

// `arguments` from the one at `at`, the first after the command. The failure
// text is the usage error, without the program prefix.
Result<Options> parse_seal(const std::vector<std::string>& arguments, std::size_t at);

// Whether `argument` is --seals (the value follows) or --seals=VALUE (the
// value is set). Shared by seal and verify.
bool take_seals_option(std::string_view argument, std::string_view& joined_value, bool& value_follows);

}  // namespace orvex::audit_tool
