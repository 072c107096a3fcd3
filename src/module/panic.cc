#include "module/panic.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/fill_message.h"
#include "module/boundary_errors.h"
#include "module/object_text.h"

namespace orvex::module {
namespace {

// The exception type that reports an aborted call.
constexpr char kPanicTypeName[] = "orvex_core.PanicException";
constexpr char kPanicTypeDoc[] =
    "An internal fault of orvex_core stopped the call. Derives from BaseException, so an\n"
    "`except Exception` handler does not catch it.";

// Created on first use and kept for the life of the process. It is not a
// module attribute: callers reach it only through a caught exception.
PyObject* panic_type = nullptr;

PyObject* get_panic_type() {
  if (panic_type == nullptr) {
    panic_type = PyErr_NewExceptionWithDoc(kPanicTypeName, kPanicTypeDoc,
                                           PyExc_BaseException, nullptr);
  }
  return panic_type;
}

void write_diagnostic(std::string_view place, std::string_view text) {
  const std::string line = fill_message(messages::kPanicDiagnostic, {place, text});
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void raise_abort(std::string_view place, std::string_view text) noexcept {
  try {
    write_diagnostic(place, text);
    PyObject* type = get_panic_type();
    if (type == nullptr) die_at_boundary();
    PyRef argument = new_str(text);
    if (!argument) {
      // The abort text itself is not UTF-8: report that the interpreter
      // refused it, as for any text the boundary cannot turn into a str.
      PyErr_Print();
      argument = new_str(messages::kApiCallFailed);
      if (!argument) die_at_boundary();
    }
    PyErr_SetObject(type, argument.get());
  } catch (...) {
    die_at_boundary();
  }
}

void die_at_boundary() noexcept {
  std::fputs(messages::kUncaughtPanic, stderr);
  std::fflush(stderr);
  std::abort();
}

}  // namespace orvex::module
