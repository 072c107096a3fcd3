// Texts taken from interpreter objects, for messages and names.
#pragma once

#include "module/py_ref.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvex::module {

// True for a str or an instance of a str subclass (by the type's flags).
bool is_str(PyObject* object);

// True for a list or an instance of a list subclass.
bool is_list(PyObject* object);

// A new str holding `utf8`; null, with the interpreter's exception set, when
// the bytes are not UTF-8 or memory runs out.
PyRef new_str(std::string_view utf8);

// The UTF-8 bytes of `str` by the strict encoder, or nothing (with the
// interpreter's indicator left clear) when it holds a lone surrogate.
// REQUIRES: is_str(str). Meant for short texts: it copies.
std::optional<std::string> strict_text(PyObject* str);

// str(object) as UTF-8, with characters that UTF-8 cannot carry replaced by
// U+FFFD. When str() itself fails, that failure is reported as unraisable
// and the object is shown as "<unprintable {type} object>".
std::string string_form(PyObject* object);

// The __qualname__ of the object's type, or "<failed to extract type name>"
// when it cannot be read as text.
std::string qualified_type_name(PyObject* object);

}  // namespace orvex::module
