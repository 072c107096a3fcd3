// The names a decision matches byte for byte, case-sensitively: the spend
// rule's attribute and the members it reads, and the constraint operators.
#pragma once

#include <string_view>

namespace orvex::validation::constraint_names {

// A constraint on this attribute is the daily spend cap.
inline constexpr std::string_view kSpendAttribute = "total_daily_spend";
// The state's member holding today's spend so far.
inline constexpr std::string_view kCurrentSpendKey = "current_spend";
// The action parameter holding the amount the action would spend.
inline constexpr std::string_view kAmountKey = "amount";

// The only operators; any other text is unsupported.
inline constexpr std::string_view kAtMost = "<=";
inline constexpr std::string_view kAtLeast = ">=";
inline constexpr std::string_view kEqual = "==";

}  // namespace orvex::validation::constraint_names
