#include "module/pending_error.h"

#include <utility>

#include "module/boundary_errors.h"
#include "module/object_text.h"
#include "module/panic.h"

namespace orvex::module {

PendingError PendingError::deferred(PyObject* type, std::string message) {
  PendingError error(Kind::kDeferred);
  error.deferred_type_ = type;
  error.message_ = std::move(message);
  return error;
}

PendingError PendingError::abort(std::string message) {
  PendingError error(Kind::kAbort);
  error.message_ = std::move(message);
  return error;
}

PendingError PendingError::from_failure(Failure failure) {
  if (failure.is_abort) return abort(std::move(failure.message));
  return deferred(PyExc_ValueError, std::move(failure.message));
}

PendingError PendingError::fetch() {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  if (type == nullptr) {
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    return deferred(PyExc_SystemError, std::string(messages::kNoExceptionSet));
  }
  PyErr_NormalizeException(&type, &value, &traceback);
  // Normalising leaves the traceback beside the value; attach it so that the
  // exception object alone tells where it came from.
  if (value != nullptr && traceback != nullptr) PyException_SetTraceback(value, traceback);
  PendingError error(Kind::kMaterialised);
  error.type_ = PyRef::steal(type);
  error.value_ = PyRef::steal(value);
  error.traceback_ = PyRef::steal(traceback);
  return error;
}

PendingError PendingError::with_cause(PyObject* type, std::string_view message, PyRef cause) {
  PyRef argument = new_str(message);
  if (!argument) return fetch();
  PyErr_SetObject(type, argument.get());
  PendingError error = fetch();
  // PyException_SetCause steals the cause.
  if (cause && error.value_) PyException_SetCause(error.value_.get(), cause.release());
  return error;
}

bool PendingError::has_exact_type(PyObject* type) const {
  switch (kind_) {
    case Kind::kDeferred:
      return deferred_type_ == type;
    case Kind::kMaterialised:
      return type_.get() == type;
    case Kind::kAbort:
      break;
  }
  return false;
}

bool PendingError::matches(PyObject* type) const {
  switch (kind_) {
    case Kind::kDeferred:
      return PyErr_GivenExceptionMatches(deferred_type_, type) != 0;
    case Kind::kMaterialised:
      return PyErr_GivenExceptionMatches(type_.get(), type) != 0;
    case Kind::kAbort:
      break;
  }
  return false;
}

std::string PendingError::text() const {
  if (kind_ != Kind::kMaterialised) return message_;
  return value_ ? string_form(value_.get()) : std::string();
}

PyRef PendingError::cause() const {
  if (kind_ != Kind::kMaterialised || !value_) return PyRef();
  return PyRef::steal(PyException_GetCause(value_.get()));
}

void PendingError::raise(std::string_view place) && {
  switch (kind_) {
    case Kind::kDeferred: {
      PyRef argument = new_str(message_);
      if (!argument) {
        PyErr_Print();
        raise_abort(place, messages::kApiCallFailed);
        return;
      }
      PyErr_SetObject(deferred_type_, argument.get());
      return;
    }
    case Kind::kAbort:
      raise_abort(place, message_);
      return;
    case Kind::kMaterialised:
      // PyErr_Restore steals all three references.
      PyErr_Restore(type_.release(), value_.release(), traceback_.release());
      return;
  }
}

void discard_pending_exception() {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(traceback);
}

}  // namespace orvex::module
