// Conversion of an operation's outcome into what the caller receives.
#pragma once

#include "module/py_ref.h"

#include <string>

#include "common/result.h"
#include "module/fallible.h"

namespace orvex::module {

// True or False (a new reference to the singleton), or the failure.
Fallible<PyRef> to_python(Result<bool> outcome);

// A new str made from the text's UTF-8 bytes, or the failure.
Fallible<PyRef> to_python(Result<std::string> outcome);

// An ordinary failure becomes ValueError with exactly its message as the
// single argument; an abort becomes PanicException with its text.
PendingError to_pending(Failure failure);

}  // namespace orvex::module
