// An exception on its way back to the interpreter, held until it is raised.
#pragma once

#include "module/py_ref.h"

#include <string>
#include <string_view>

#include "common/result.h"

namespace orvex::module {

class PendingError {
 public:
  // An exception of `type` (a built-in exception type, which lives as long
  // as the process) whose single argument will be `message`. The str is made
  // only when the exception is raised.
  static PendingError deferred(PyObject* type, std::string message);

  // An internal abort carrying `message`; raised as PanicException.
  static PendingError abort(std::string message);

  // The exception that a failure of the engine becomes: an ordinary
  // failure a ValueError with exactly its message as the single argument, an
  // abort a PanicException with its text.
  static PendingError from_failure(Failure failure);

  // Takes the exception that the interpreter has set, normalised and with
  // its traceback attached, and clears the interpreter's indicator. When
  // none is set the result is a SystemError saying so.
  static PendingError fetch();

  // A new exception of `type` with `message` as its argument and `cause` as
  // its __cause__ (a null cause is allowed and means none).
  static PendingError with_cause(PyObject* type, std::string_view message, PyRef cause);

  // True when the exception's type is `type` itself, not a subclass.
  bool has_exact_type(PyObject* type) const;

  // True when the exception's type is `type` or one of its subclasses.
  bool matches(PyObject* type) const;

  // The exception's string form, as str() of it would give.
  std::string text() const;

  // The exception's __cause__ (a new reference), or none.
  PyRef cause() const;

  // Sets the interpreter's error indicator to this exception. `place` names
  // the entry point in the diagnostic written for an abort.
  // REQUIRES: the interpreter's error indicator is clear.
  void raise(std::string_view place) &&;

 private:
  enum class Kind { kDeferred, kAbort, kMaterialised };

  explicit PendingError(Kind kind) : kind_(kind) {}

  Kind kind_;
  PyObject* deferred_type_ = nullptr;  // kDeferred only; never owned
  std::string message_;                // kDeferred and kAbort
  PyRef type_, value_, traceback_;     // kMaterialised only
};

// Clears the interpreter's error indicator, dropping whatever was set there;
// used where a failure is replaced by a fixed text.
void discard_pending_exception();

}  // namespace orvex::module
