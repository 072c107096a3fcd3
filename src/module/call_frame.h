// The frame around every entry from the interpreter: module creation and
// each function call.
#pragma once

#include "module/py_ref.h"

#include <exception>
#include <string_view>
#include <utility>

#include "common/result.h"
#include "module/boundary_errors.h"
#include "module/panic.h"
#include "module/pending_error.h"

namespace orvex::module {

// Runs `body`, a callable returning Result<PyRef, PendingError>, and hands
// its outcome to the interpreter: a result as a new reference, a failure as
// the raised exception and a null return. A C++ exception escaping `body` is contained
// as PanicException, with a diagnostic naming `place`; none ever unwinds
// into the interpreter.
//
// Every entry arrives with the interpreter lock held and nothing here gives
// it up, so every reference the body owns is dropped under the lock; no
// release ever needs to be deferred to a later entry.
template <class Body>
PyObject* run_entry(std::string_view place, Body&& body) noexcept {
  try {
    Result<PyRef, PendingError> outcome = std::forward<Body>(body)();
    if (outcome.ok()) return std::move(outcome).value().release();
    std::move(outcome).failure().raise(place);
    return nullptr;
  } catch (const std::exception& fault) {
    // An exception the interpreter set before the fault is superseded.
    discard_pending_exception();
    raise_abort(place, fault.what());
  } catch (...) {
    discard_pending_exception();
    raise_abort(place, messages::kUnknownFault);
  }
  return nullptr;
}

}  // namespace orvex::module
