// Every fixed text of the JSON reader, in one place.
#pragma once

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

// Templates of typed readers; each {} is filled in order.
inline constexpr char kInvalidTypePrefix[] = "invalid type: ";
inline constexpr char kInvalidValuePrefix[] = "invalid value: ";
inline constexpr char kExpectedInfix[] = ", expected ";
inline constexpr char kInvalidLengthPrefix[] = "invalid length ";
inline constexpr char kMissingFieldPrefix[] = "missing field `";
inline constexpr char kDuplicateFieldPrefix[] = "duplicate field `";
inline constexpr char kFieldSuffix[] = "`";

// Descriptions of a value found where another type was expected.
inline constexpr char kFoundNull[] = "null";
inline constexpr char kFoundTrue[] = "boolean `true`";
inline constexpr char kFoundFalse[] = "boolean `false`";
inline constexpr char kFoundIntegerPrefix[] = "integer `";
inline constexpr char kFoundFloatPrefix[] = "floating point `";
inline constexpr char kFoundStringPrefix[] = "string ";
inline constexpr char kFoundSequence[] = "sequence";
inline constexpr char kFoundMap[] = "map";

// Suffix that places every reading error.
inline constexpr char kAtLine[] = " at line ";
inline constexpr char kColumn[] = " column ";

}  // namespace orvex::json::messages
