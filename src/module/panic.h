// Containment of internal aborts: they reach the caller as PanicException,
// never as a C++ exception unwinding into the interpreter.
#pragma once

#include "module/py_ref.h"

#include <string_view>

namespace orvex::module {

// Writes a diagnostic naming `place` and holding `text` to standard error,
// then sets PanicException(text) as the interpreter's exception. If that
// cannot be done, the process ends (see die_at_boundary).
// REQUIRES: the interpreter's error indicator is clear.
void raise_abort(std::string_view place, std::string_view text) noexcept;

// Ends the process after saying so on standard error: the last resort when
// an abort cannot be contained.
[[noreturn]] void die_at_boundary() noexcept;

}  // namespace orvex::module
