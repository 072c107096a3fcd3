// Every fixed text of the JSON reader and of the typed readers built on it,
// each written whole; "{}" marks where a value goes (filled in order by
// fill_message).
#pragma once

#include <string_view>

namespace orvex::json::messages {

inline constexpr char kEofWhileParsingList[] = "EOF while parsing a list";
inline constexpr char kEofWhileParsingObject[] = "EOF while parsing an object";
inline constexpr char kEofWhileParsingString[] = "EOF while parsing a string";
inline constexpr char kEofWhileParsingValue[] = "EOF while parsing a value";
inline constexpr char kExpectedColon[] = "expected `:`";
inline constexpr char kExpectedListCommaOrEnd[] = "expected `,` or `]`";
inline constexpr char kExpectedObjectCommaOrEnd[] = "expected `,` or `}`";
inline constexpr char kExpectedIdent[] = "expected ident";
inline constexpr char kExpectedValue[] = "expected value";
inline constexpr char kInvalidEscape[] = "invalid escape";
inline constexpr char kInvalidNumber[] = "invalid number";
inline constexpr char kNumberOutOfRange[] = "number out of range";
inline constexpr char kControlCharacter[] = "control character (\\u0000-\\u001F) found while parsing a string";
inline constexpr char kKeyMustBeAString[] = "key must be a string";
inline constexpr char kLoneLeadingSurrogate[] = "lone leading surrogate in hex escape";
inline constexpr char kTrailingComma[] = "trailing comma";
inline constexpr char kTrailingCharacters[] = "trailing characters";
inline constexpr char kUnexpectedEndOfHexEscape[] = "unexpected end of hex escape";
inline constexpr char kRecursionLimitExceeded[] = "recursion limit exceeded";

// Typed readers: the value found (a description below) or the number of
// elements found, then what the reader expected.
inline constexpr std::string_view kInvalidType = "invalid type: {}, expected {}";
inline constexpr std::string_view kInvalidValue = "invalid value: {}, expected {}";
inline constexpr std::string_view kInvalidLength = "invalid length {}, expected {}";
// The field's name.
inline constexpr std::string_view kMissingField = "missing field `{}`";
inline constexpr std::string_view kDuplicateField = "duplicate field `{}`";

// Descriptions of a value found where another was expected.
inline constexpr std::string_view kFoundNull = "null";
inline constexpr std::string_view kFoundTrue = "boolean `true`";
inline constexpr std::string_view kFoundFalse = "boolean `false`";
// The number's decimal text.
inline constexpr std::string_view kFoundInteger = "integer `{}`";
inline constexpr std::string_view kFoundFloat = "floating point `{}`";
// The string in the quoted diagnostic notation.
inline constexpr std::string_view kFoundString = "string {}";
inline constexpr std::string_view kFoundSequence = "sequence";
inline constexpr std::string_view kFoundMap = "map";

// Every reading error as it leaves the reader: the message, then where.
inline constexpr std::string_view kErrorAt = "{} at line {} column {}";

}  // namespace orvex::json::messages
