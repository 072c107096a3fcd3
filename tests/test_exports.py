"""The built module's contact surface with the interpreter: it exports one
symbol, and it uses no interpreter function or object outside a fixed list,
so one build serves every CPython from 3.8 on."""

import shutil
import subprocess

import pytest

import orvex_core

# Every C-API function and object the module may use.
ALLOWED_INTERPRETER_SYMBOLS = frozenset({
    # module and functions
    "PyModule_Create2", "PyModule_GetNameObject", "PyCFunction_NewEx", "PyObject_GetAttr",
    "PyObject_SetAttr", "PyList_New", "PyList_Append", "PyUnicode_InternInPlace",
    "PyErr_GivenExceptionMatches", "PyExc_AttributeError",
    # arguments
    "PyTuple_Size", "PyTuple_GetItem", "PyDict_Size", "PyDict_Next", "PyType_GetFlags",
    "PyUnicode_AsUTF8String", "PyBytes_AsString", "PyBytes_Size",
    # results
    "PyUnicode_FromStringAndSize", "_Py_TrueStruct", "_Py_FalseStruct", "_Py_NoneStruct",
    # exceptions
    "PyExc_ValueError", "PyExc_TypeError", "PyExc_ImportError", "PyExc_SystemError",
    "PyExc_BaseException", "PyErr_SetObject", "PyErr_SetString", "PyErr_Fetch", "PyErr_Restore",
    "PyErr_NormalizeException", "PyErr_NewExceptionWithDoc", "PyTuple_New", "PyTuple_SetItem",
    "PyException_GetCause", "PyException_SetCause", "PyException_GetTraceback",
    "PyException_SetTraceback", "PyErr_Print", "PyErr_PrintEx", "PyErr_WriteUnraisable",
    "PyObject_Str", "PyObject_Repr", "PyUnicode_AsEncodedString",
    # references and the lock
    "_Py_Dealloc", "Py_IsInitialized", "PyGILState_Ensure", "PyGILState_Release",
})

NM = shutil.which("nm")
pytestmark = pytest.mark.skipif(NM is None, reason="nm (binutils) is not installed")


def dynamic_symbols(*flags):
    listing = subprocess.run([NM, "-D", *flags, orvex_core.__file__],
                             capture_output=True, text=True, check=True).stdout
    # Lines read "[address] type name[@version]"; the name is the last field.
    return {line.split()[-1].split("@")[0] for line in listing.splitlines() if line.strip()}


def is_interpreter_symbol(name):
    return name.startswith(("Py", "_Py"))


def test_the_only_exported_symbol_is_the_entry_point():
    assert dynamic_symbols("--defined-only") == {"PyInit_orvex_core"}


def test_every_interpreter_symbol_used_is_allowed():
    used = {name for name in dynamic_symbols("--undefined-only") if is_interpreter_symbol(name)}
    assert used, "the module should import interpreter symbols"
    assert sorted(used - ALLOWED_INTERPRETER_SYMBOLS) == []

