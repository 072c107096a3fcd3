// The module's one exported entry point and its three functions.
#include "module/py_ref.h"

#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "common/fill_message.h"
#include "fingerprint/fingerprint.h"
#include "module/binding.h"
#include "module/boundary_errors.h"
#include "module/call_frame.h"
#include "module/names.h"
#include "module/object_text.h"
#include "module/results.h"
#include "validation/validate.h"

namespace orvex::module {
namespace {

constexpr char kValidateName[] = "validate_intent_json";
constexpr char kGenerateName[] = "generate_logic_fingerprint";
constexpr char kVerifyName[] = "verify_logic_fingerprint";
constexpr char kInitPlace[] = "PyInit_orvex_core";

constexpr std::string_view kValidateParameters[] = {"intent_json", "action_json", "state_json"};
constexpr std::string_view kGenerateParameters[] = {"manifest_json"};
constexpr std::string_view kVerifyParameters[] = {"manifest_json", "expected_fingerprint"};

static_assert(std::size(kValidateParameters) <= kMaxParameters && std::size(kVerifyParameters) <= kMaxParameters);

constexpr Signature kValidateSignature{kValidateName, kValidateParameters};
constexpr Signature kGenerateSignature{kGenerateName, kGenerateParameters};
constexpr Signature kVerifySignature{kVerifyName, kVerifyParameters};

// The whole way of one function call: bind the arguments to `signature`,
// run `operation` on their texts, and hand its value or its failure to the
// interpreter. A binding failure is already the exception the caller sees;
// the operation's failure becomes one in to_python.
template <class Operation>
PyObject* call_operation(const Signature& signature, PyObject* args, PyObject* kwargs, Operation operation) {
  return run_entry(signature.function_name, [&]() -> Result<PyRef, PendingError> {
    Result<BoundTexts, PendingError> texts = bind_arguments(signature, args, kwargs);
    if (!texts.ok()) return std::move(texts).failure();
    return to_python(operation(texts.value()));
  });
}

PyObject* validate_intent_json(PyObject*, PyObject* args, PyObject* kwargs) {
  return call_operation(kValidateSignature, args, kwargs, [](const BoundTexts& in) {
    return validation::validate_intent_json(in[0], in[1], in[2]);
  });
}

PyObject* generate_logic_fingerprint(PyObject*, PyObject* args, PyObject* kwargs) {
  return call_operation(kGenerateSignature, args, kwargs, [](const BoundTexts& in) {
    return fingerprint::generate_logic_fingerprint(in[0]);
  });
}

PyObject* verify_logic_fingerprint(PyObject*, PyObject* args, PyObject* kwargs) {
  return call_operation(kVerifySignature, args, kwargs, [](const BoundTexts& in) {
    return fingerprint::verify_logic_fingerprint(in[0], in[1]);
  });
}

// PyMethodDef stores every calling convention under one pointer type.
template <PyObject* (*Function)(PyObject*, PyObject*, PyObject*)>
PyCFunction as_method() {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Function));
}

// Registered in this order. Each documentation text is only a signature line
// in the interpreter's text-signature form, so the interpreter derives the
// parameter names from it and shows no further docstring.
PyMethodDef function_table[] = {
    {kValidateName, as_method<validate_intent_json>(), METH_VARARGS | METH_KEYWORDS,
     "validate_intent_json(intent_json, action_json, state_json)\n--\n\n"},
    {kGenerateName, as_method<generate_logic_fingerprint>(), METH_VARARGS | METH_KEYWORDS,
     "generate_logic_fingerprint(manifest_json)\n--\n\n"},
    {kVerifyName, as_method<verify_logic_fingerprint>(), METH_VARARGS | METH_KEYWORDS,
     "verify_logic_fingerprint(manifest_json, expected_fingerprint)\n--\n\n"},
};

// Single-phase initialisation; the functions are added by the initialiser,
// so the definition carries no method table. An empty documentation text
// makes __doc__ "" rather than None.
PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "orvex_core", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The module made by the first successful initialisation, kept for the life
// of the process. The module keeps no state of its own, but a second module
// object is refused all the same so that there is only ever one.
PyObject* created_module = nullptr;

// The module's __all__ list; made empty and set when the module has none.
Result<PyRef, PendingError> all_list(PyObject* module) {
  PyObject* key = interned(Name::kAll);
  if (key == nullptr) return PendingError::fetch();
  PyRef all = PyRef::steal(PyObject_GetAttr(module, key));
  if (all) {
    if (is_list(all.get())) return all;
    return PendingError::deferred(
        PyExc_TypeError, fill_message(messages::kCannotConvertToList, {qualified_type_name(all.get())}));
  }
  PendingError error = PendingError::fetch();
  if (!error.matches(PyExc_AttributeError)) return error;
  PyRef list = PyRef::steal(PyList_New(0));
  if (!list) return PendingError::fetch();
  if (PyObject_SetAttr(module, key, list.get()) < 0) return PendingError::fetch();
  return list;
}

// Creates the function of `method`, lists its name in __all__ and sets it on
// the module.
Result<Unit, PendingError> add_function(PyObject* module, PyMethodDef* method) {
  PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
  if (!module_name) return PendingError::fetch();
  PyRef function = PyRef::steal(PyCFunction_NewEx(method, module, module_name.get()));
  if (!function) return PendingError::fetch();
  PyObject* name_key = interned(Name::kName);
  if (name_key == nullptr) return PendingError::fetch();
  PyRef name = PyRef::steal(PyObject_GetAttr(function.get(), name_key));
  if (!name) return PendingError::fetch();
  Result<PyRef, PendingError> all = all_list(module);
  if (!all.ok()) return std::move(all).failure();
  if (PyList_Append(all.value().get(), name.get()) < 0) {
    // Our own fresh list refused an append: an internal fault, not the
    // importer's error.
    const std::string reason = PendingError::fetch().text();
    return PendingError::abort(fill_message(messages::kAppendToAll, {reason}));
  }
  if (PyObject_SetAttr(module, name.get(), function.get()) < 0) return PendingError::fetch();
  return Unit{};
}

Result<PyRef, PendingError> create_module() {
  if (created_module != nullptr) {
    return PendingError::deferred(PyExc_ImportError, std::string(messages::kInitializedTwice));
  }
  PyRef module = PyRef::steal(PyModule_Create2(&module_definition, PYTHON_ABI_VERSION));
  if (!module) return PendingError::fetch();
  for (PyMethodDef& method : function_table) {
    Result<Unit, PendingError> added = add_function(module.get(), &method);
    if (!added.ok()) return std::move(added).failure();
  }
  created_module = PyRef::borrow(module.get()).release();
  return module;
}

}  // namespace
}  // namespace orvex::module

PyMODINIT_FUNC PyInit_orvex_core() {
  return orvex::module::run_entry(orvex::module::kInitPlace, orvex::module::create_module);
}
