// Attribute names that the boundary looks up, interned once per process.
#pragma once

#include "module/py_ref.h"

namespace orvex::module {

enum class Name { kAll, kName, kQualname };

// The interned str for `name`, borrowed: it is made on first use and kept
// for the life of the process. Null, with the interpreter's exception set,
// when it cannot be made.
PyObject* interned(Name name);

}  // namespace orvex::module
