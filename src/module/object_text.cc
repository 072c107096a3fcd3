#include "module/object_text.h"

#include "common/fill_message.h"
#include "module/boundary_errors.h"
#include "module/lossy_utf8.h"
#include "module/names.h"
#include "module/pending_error.h"

namespace orvex::module {
namespace {

// Bytes of a bytes object, borrowed from it.
std::string_view bytes_view(PyObject* bytes) {
  return {PyBytes_AsString(bytes), static_cast<std::size_t>(PyBytes_Size(bytes))};
}

// Text of a str that the strict encoder rejected: lone surrogates are let
// through by "surrogatepass" and then replaced.
std::optional<std::string> lenient_text(PyObject* str) {
  PyRef bytes = PyRef::steal(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  if (!bytes) {
    discard_pending_exception();
    return std::nullopt;
  }
  return replace_invalid_utf8(bytes_view(bytes.get()));
}

}  // namespace

bool is_str(PyObject* object) {
  return (PyType_GetFlags(Py_TYPE(object)) & Py_TPFLAGS_UNICODE_SUBCLASS) != 0;
}

bool is_list(PyObject* object) {
  return (PyType_GetFlags(Py_TYPE(object)) & Py_TPFLAGS_LIST_SUBCLASS) != 0;
}

PyRef new_str(std::string_view utf8) {
  return PyRef::steal(PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size())));
}

std::optional<std::string> strict_text(PyObject* str) {
  PyRef bytes = PyRef::steal(PyUnicode_AsUTF8String(str));
  if (!bytes) {
    discard_pending_exception();
    return std::nullopt;
  }
  return std::string(bytes_view(bytes.get()));
}

std::string string_form(PyObject* object) {
  PyRef str = PyRef::steal(PyObject_Str(object));
  if (!str) {
    PyErr_WriteUnraisable(object);
    return fill_message(messages::kUnprintable, {qualified_type_name(object)});
  }
  if (std::optional<std::string> text = strict_text(str.get())) return *std::move(text);
  if (std::optional<std::string> text = lenient_text(str.get())) return *std::move(text);
  return fill_message(messages::kUnprintable, {qualified_type_name(object)});
}

std::string qualified_type_name(PyObject* object) {
  PyObject* key = interned(Name::kQualname);
  PyRef name = key == nullptr ? PyRef() : PyRef::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(object)), key));
  if (!name) {
    discard_pending_exception();
    return std::string(messages::kNoTypeName);
  }
  if (!is_str(name.get())) return std::string(messages::kNoTypeName);
  std::optional<std::string> text = strict_text(name.get());
  return text ? *std::move(text) : std::string(messages::kNoTypeName);
}

}  // namespace orvex::module
