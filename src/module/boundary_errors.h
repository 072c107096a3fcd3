// Every fixed text that the module boundary raises to a caller or writes to
// standard error, each written whole; "{}" marks where a value goes, filled
// in order by fill_message.
#pragma once

#include <string_view>

namespace orvex::module::messages {

// Binding: all raised as TypeError. The callable's display name comes first.
// More given than taken, so always more than one: "were".
inline constexpr std::string_view kTooManyPositional = "{} takes {} positional arguments but {} were given";
inline constexpr std::string_view kUnexpectedKeyword = "{} got an unexpected keyword argument '{}'";
inline constexpr std::string_view kMultipleValues = "{} got multiple values for argument '{}'";
// The missing parameters' names, quoted and joined.
inline constexpr std::string_view kMissingArgument = "{} missing 1 required positional argument: {}";
inline constexpr std::string_view kMissingArguments = "{} missing {} required positional arguments: {}";

// Conversion: the type error for each target, and the wrapper naming the
// parameter. The object's qualified type name.
inline constexpr std::string_view kCannotConvertToStr = "'{}' object cannot be converted to 'PyString'";
inline constexpr std::string_view kCannotConvertToList = "'{}' object cannot be converted to 'PyList'";
inline constexpr std::string_view kArgumentWrapper = "argument '{}': {}";
inline constexpr std::string_view kNoTypeName = "<failed to extract type name>";
inline constexpr std::string_view kUnprintable = "<unprintable {} object>";

// Interpreter state that should not happen.
inline constexpr std::string_view kNoExceptionSet = "attempted to fetch exception but none was set";
inline constexpr std::string_view kApiCallFailed = "Python API call failed";

// Module creation.
inline constexpr std::string_view kInitializedTwice =
    "orvex_core may only be initialized once per interpreter process";
inline constexpr std::string_view kAppendToAll = "could not append __name__ to __all__: {}";

// Aborts.
inline constexpr std::string_view kUnknownFault = "unknown internal fault";
inline constexpr std::string_view kPanicDiagnostic = "orvex_core: call aborted in {}: {}\n";
inline constexpr char kUncaughtPanic[] = "uncaught panic at ffi boundary\n";

}  // namespace orvex::module::messages
