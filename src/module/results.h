// An operation's outcome as the caller receives it.
#pragma once

#include "module/py_ref.h"

#include <string>

#include "common/result.h"
#include "module/pending_error.h"

namespace orvex::module {

// True or False (a new reference to the singleton), or the exception the
// failure becomes.
Result<PyRef, PendingError> to_python(Result<bool> outcome);

// A new str made from the text's UTF-8 bytes, or the exception the failure
// becomes.
Result<PyRef, PendingError> to_python(Result<std::string> outcome);

}  // namespace orvex::module
