#include "module/results.h"

#include <utility>

#include "module/boundary_errors.h"
#include "module/object_text.h"

namespace orvex::module {

Fallible<PyRef> to_python(Result<bool> outcome) {
  if (!outcome.ok()) return to_pending(std::move(outcome).failure());
  return PyRef::borrow(outcome.value() ? Py_True : Py_False);
}

Fallible<PyRef> to_python(Result<std::string> outcome) {
  if (!outcome.ok()) return to_pending(std::move(outcome).failure());
  PyRef text = new_str(outcome.value());
  if (!text) {
    // The interpreter refused our own text: show its reason, then stop the
    // call as an internal fault rather than as the caller's error.
    PyErr_Print();
    return PendingError::abort(std::string(messages::kApiCallFailed));
  }
  return text;
}

PendingError to_pending(Failure failure) {
  if (failure.is_abort) return PendingError::abort(std::move(failure.message));
  return PendingError::deferred(PyExc_ValueError, std::move(failure.message));
}

}  // namespace orvex::module
