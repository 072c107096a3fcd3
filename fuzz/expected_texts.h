// The fixed texts the fuzz targets hold the code to, written out here
// independently of the product's own message tables, so that a drifted
// table is caught as well as a drifted call site.
#pragma once

#include <string_view>

namespace orvex::fuzz::expected {

// Every syntax message of the reader.
inline constexpr std::string_view kEofList = "EOF while parsing a list";
inline constexpr std::string_view kEofObject = "EOF while parsing an object";
inline constexpr std::string_view kEofString = "EOF while parsing a string";
inline constexpr std::string_view kEofValue = "EOF while parsing a value";
inline constexpr std::string_view kExpectedColon = "expected `:`";
inline constexpr std::string_view kExpectedListCommaOrEnd = "expected `,` or `]`";
inline constexpr std::string_view kExpectedObjectCommaOrEnd = "expected `,` or `}`";
inline constexpr std::string_view kExpectedIdent = "expected ident";
inline constexpr std::string_view kExpectedValue = "expected value";
inline constexpr std::string_view kInvalidEscape = "invalid escape";
inline constexpr std::string_view kInvalidNumber = "invalid number";
inline constexpr std::string_view kNumberOutOfRange = "number out of range";
inline constexpr std::string_view kControlCharacter =
    "control character (\\u0000-\\u001F) found while parsing a string";
inline constexpr std::string_view kKeyMustBeAString = "key must be a string";
inline constexpr std::string_view kLoneLeadingSurrogate = "lone leading surrogate in hex escape";
inline constexpr std::string_view kTrailingComma = "trailing comma";
inline constexpr std::string_view kTrailingCharacters = "trailing characters";
inline constexpr std::string_view kUnexpectedEndOfHexEscape = "unexpected end of hex escape";
inline constexpr std::string_view kRecursionLimit = "recursion limit exceeded";

inline constexpr std::string_view kSyntaxMessages[] = {
    kEofList,           kEofObject,         kEofString,
    kEofValue,          kExpectedColon,     kExpectedListCommaOrEnd,
    kExpectedObjectCommaOrEnd, kExpectedIdent, kExpectedValue,
    kInvalidEscape,     kInvalidNumber,     kNumberOutOfRange,
    kControlCharacter,  kKeyMustBeAString,  kLoneLeadingSurrogate,
    kTrailingComma,     kTrailingCharacters, kUnexpectedEndOfHexEscape,
    kRecursionLimit,
};

// Templates of the typed readers.
inline constexpr std::string_view kInvalidTypePrefix = "invalid type: ";
inline constexpr std::string_view kInvalidValuePrefix = "invalid value: ";
inline constexpr std::string_view kInvalidLengthPrefix = "invalid length ";
inline constexpr std::string_view kExpectedInfix = ", expected ";
inline constexpr std::string_view kMissingFieldPrefix = "missing field `";
inline constexpr std::string_view kDuplicateFieldPrefix = "duplicate field `";
inline constexpr std::string_view kPositionLine = " at line ";
inline constexpr std::string_view kPositionColumn = " column ";

// Prefixes of the validate operation's failures.
inline constexpr std::string_view kInvalidIntent = "Invalid Intent JSON: ";
inline constexpr std::string_view kInvalidAction = "Invalid Action JSON: ";
inline constexpr std::string_view kInvalidState = "Invalid State JSON: ";
inline constexpr std::string_view kMissingAttribute = "Missing required attribute: ";
inline constexpr std::string_view kUnsupportedOperator = "Unsupported operator: ";
inline constexpr std::string_view kConstraintViolation = "Constraint violation: ";
inline constexpr std::string_view kSpendViolation = "Dynamic Violation: Total spend would reach ";
inline constexpr std::string_view kSpendAttribute = "total_daily_spend";

inline constexpr std::string_view kInvalidManifest = "Invalid ProjectManifest JSON: ";

}  // namespace orvex::fuzz::expected
