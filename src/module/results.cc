#include "module/results.h"

#include <utility>

#include "module/boundary_errors.h"
#include "module/object_text.h"

namespace orvex::module {

Result<PyRef, PendingError> to_python(Result<bool> outcome) {
  if (!outcome.ok()) return PendingError::from_failure(std::move(outcome).failure());
  return PyRef::borrow(outcome.value() ? Py_True : Py_False);
}

Result<PyRef, PendingError> to_python(Result<std::string> outcome) {
  if (!outcome.ok()) return PendingError::from_failure(std::move(outcome).failure());
  PyRef text = new_str(outcome.value());
  if (!text) {
    // The interpreter refused our own text: show its reason, then stop the
    // call as an internal fault rather than as the caller's error.
    PyErr_Print();
    return PendingError::abort(std::string(messages::kApiCallFailed));
  }
  return text;
}

}  // namespace orvex::module
