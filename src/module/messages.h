// Every fixed text that the module boundary shows to a caller or writes to
// standard error. Placeholders "{}" are filled in order by fill_message.
#pragma once

#include <string_view>

#include "common/fill_message.h"

namespace orvex::module::messages {

// Binding: all raised as TypeError.
inline constexpr std::string_view kTooManyPositional =
    "{} takes {} positional arguments but {} {} given";
inline constexpr std::string_view kUnexpectedKeyword = "{} got an unexpected keyword argument '{}'";
inline constexpr std::string_view kMultipleValues = "{} got multiple values for argument '{}'";
inline constexpr std::string_view kMissingArguments = "{} missing {} required {} {}: ";
inline constexpr std::string_view kWere = "were";
inline constexpr std::string_view kPositional = "positional";
inline constexpr std::string_view kArgumentSingular = "argument";
inline constexpr std::string_view kArgumentPlural = "arguments";

// Conversion: the type error, and the wrapper naming the parameter.
inline constexpr std::string_view kCannotConvert = "'{}' object cannot be converted to '{}'";
inline constexpr std::string_view kStrTarget = "PyString";
inline constexpr std::string_view kListTarget = "PyList";
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
inline constexpr char kPanicTypeName[] = "orvex_core.PanicException";
inline constexpr char kPanicTypeDoc[] =
    "An internal fault of orvex_core stopped the call. Derives from BaseException, so an\n"
    "`except Exception` handler does not catch it.";
inline constexpr std::string_view kUnknownFault = "unknown internal fault";
inline constexpr std::string_view kPanicDiagnostic = "orvex_core: call aborted in {}: {}\n";
inline constexpr char kUncaughtPanic[] = "uncaught panic at ffi boundary\n";

using orvex::fill_message;

}  // namespace orvex::module::messages
