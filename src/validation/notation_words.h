// The words of the notations denial reasons show values in: the decimal
// texts of the doubles that have no digits of their own, and the diagnostic
// notation of a JSON value.
#pragma once

#include <string_view>

namespace orvex::validation::notation {

inline constexpr std::string_view kNotANumber = "NaN";
inline constexpr std::string_view kInfinity = "inf";
inline constexpr std::string_view kNegativeInfinity = "-inf";
inline constexpr std::string_view kZero = "0";
inline constexpr std::string_view kNegativeZero = "-0";

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

}  // namespace orvex::validation::notation
