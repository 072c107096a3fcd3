// Every reason a validation call fails with, each written whole: a document
// that cannot be read, or the decision's denial. Tests compare against these
// bytes, so each text lives here and nowhere else.
#pragma once

#include <string_view>

namespace orvex::validation::messages {

// The document reader's error text, with its position.
inline constexpr std::string_view kInvalidIntent = "Invalid Intent JSON: {}";
inline constexpr std::string_view kInvalidAction = "Invalid Action JSON: {}";
inline constexpr std::string_view kInvalidState = "Invalid State JSON: {}";

// Denials. The attribute or operator as the intent spells it, unquoted.
inline constexpr std::string_view kMissingAttribute = "Missing required attribute: {}";
inline constexpr std::string_view kUnsupportedOperator = "Unsupported operator: {}";
// Attribute, operator, and the constraint's own value in diagnostic notation.
inline constexpr std::string_view kConstraintViolation = "Constraint violation: {} {} {}";
// The total as a shortest decimal.
inline constexpr std::string_view kSpendViolation = "Dynamic Violation: Total spend would reach {}";

}  // namespace orvex::validation::messages
