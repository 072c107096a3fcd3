// Every fixed text of the validation decision: the reasons a call can fail
// with, the names it looks up, and the words of the diagnostic notation.
// Tests compare against these bytes, so each text lives here and nowhere else.
#pragma once

#include <string_view>

namespace orvex::validation::messages {

// Prefixes put in front of a reading error's text ("... at line L column C").
inline constexpr std::string_view kInvalidIntent = "Invalid Intent JSON: ";
inline constexpr std::string_view kInvalidAction = "Invalid Action JSON: ";
inline constexpr std::string_view kInvalidState = "Invalid State JSON: ";

// Denial reasons; the attribute, operator and total follow without quotes.
inline constexpr std::string_view kMissingAttribute = "Missing required attribute: ";
inline constexpr std::string_view kUnsupportedOperator = "Unsupported operator: ";
inline constexpr std::string_view kConstraintViolation = "Constraint violation: ";
inline constexpr std::string_view kSpendViolation = "Dynamic Violation: Total spend would reach ";
// Separates attribute, operator and bound in a constraint violation.
inline constexpr std::string_view kFieldSeparator = " ";

// Names matched byte for byte, case-sensitively.
inline constexpr std::string_view kSpendAttribute = "total_daily_spend";
inline constexpr std::string_view kCurrentSpendKey = "current_spend";
inline constexpr std::string_view kAmountKey = "amount";

// The only operators; any other text is unsupported.
inline constexpr std::string_view kAtMost = "<=";
inline constexpr std::string_view kAtLeast = ">=";
inline constexpr std::string_view kEqual = "==";

// Decimal texts of the doubles that have no digits of their own.
inline constexpr std::string_view kNotANumber = "NaN";
inline constexpr std::string_view kInfinity = "inf";
inline constexpr std::string_view kNegativeInfinity = "-inf";
inline constexpr std::string_view kZero = "0";
inline constexpr std::string_view kNegativeZero = "-0";

// Words of the diagnostic notation of a JSON value.
inline constexpr std::string_view kDiagnosticNull = "Null";
inline constexpr std::string_view kDiagnosticTrue = "Bool(true)";
inline constexpr std::string_view kDiagnosticFalse = "Bool(false)";
inline constexpr std::string_view kDiagnosticNumberOpen = "Number(";
inline constexpr std::string_view kDiagnosticStringOpen = "String(";
inline constexpr std::string_view kDiagnosticScalarClose = ")";
inline constexpr std::string_view kDiagnosticArrayOpen = "Array [";
inline constexpr std::string_view kDiagnosticArrayClose = "]";
inline constexpr std::string_view kDiagnosticObjectOpen = "Object {";
inline constexpr std::string_view kDiagnosticObjectClose = "}";
inline constexpr std::string_view kDiagnosticElementSeparator = ", ";
inline constexpr std::string_view kDiagnosticKeySeparator = ": ";

}  // namespace orvex::validation::messages
