// Owner of one strong reference to an interpreter object.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace orvex::module {

// Holds at most one strong reference and drops it when destroyed. Every
// owner lives inside a single call from the interpreter, so the interpreter
// lock is always held when the reference is dropped.
class PyRef {
 public:
  PyRef() = default;
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  PyRef(PyRef&& other) noexcept : object_(other.release()) {}
  PyRef& operator=(PyRef&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~PyRef() { reset(); }

  // Takes over a new reference (a null pointer is allowed and means "none").
  static PyRef steal(PyObject* object) { return PyRef(object); }

  // Adds a reference of its own to a borrowed object.
  static PyRef borrow(PyObject* object) {
    Py_XINCREF(object);
    return PyRef(object);
  }

  PyObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Gives up ownership without dropping the reference: for interpreter calls
  // that steal a reference, and for handing a result back to the interpreter.
  [[nodiscard]] PyObject* release() { return std::exchange(object_, nullptr); }

  void reset(PyObject* object = nullptr) {
    PyObject* old = std::exchange(object_, object);
    Py_XDECREF(old);
  }

 private:
  explicit PyRef(PyObject* object) : object_(object) {}

  PyObject* object_ = nullptr;
};

}  // namespace orvex::module
