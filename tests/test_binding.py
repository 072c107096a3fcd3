"""The call boundary of orvex_core: module attributes, argument binding and
conversion with their exact TypeError texts, how failures reach the caller,
and that the module stays usable after every one of them.

Binding and conversion fail before any operation runs, so these cases do not
depend on what the operations decide."""

import inspect
import json
import subprocess
import sys
import textwrap

import pytest

import orvex_core

V = orvex_core.validate_intent_json
G = orvex_core.generate_logic_fingerprint
F = orvex_core.verify_logic_fingerprint

NAMES = ["validate_intent_json", "generate_logic_fingerprint", "verify_logic_fingerprint"]
PARAMETERS = {
    "validate_intent_json": ["intent_json", "action_json", "state_json"],
    "generate_logic_fingerprint": ["manifest_json"],
    "verify_logic_fingerprint": ["manifest_json", "expected_fingerprint"],
}


def outcome(function, *args, **kwargs):
    """What a call gives: ("value", result) or (exception type, its args)."""
    try:
        return ("value", function(*args, **kwargs))
    except BaseException as error:  # PanicException is not an Exception
        return (type(error), error.args)


def type_error_text(function, *args, **kwargs):
    with pytest.raises(TypeError) as caught:
        function(*args, **kwargs)
    assert type(caught.value) is TypeError
    assert len(caught.value.args) == 1
    return caught.value.args[0]


class Outer:
    class Inner:
        pass


class Text(str):
    """A str subclass whose str() and encoding differ from its content."""

    def __str__(self):
        return "not the content"

    def encode(self, *args, **kwargs):
        raise AssertionError("the boundary must not call encode()")


def with_qualname(result):
    """An instance of a class whose __qualname__ lookup gives `result`
    (or raises it, when it is an exception)."""

    class Meta(type):
        def __getattribute__(cls, name):
            if name == "__qualname__":
                if isinstance(result, BaseException):
                    raise result
                return result
            return super().__getattribute__(name)

    return Meta("Odd", (), {})()


def renamed(qualname):
    class Renamed:
        pass

    Renamed.__qualname__ = qualname
    return Renamed()


# ---------------------------------------------------------------- module


def test_all_lists_the_three_functions_in_table_order():
    assert orvex_core.__all__ == NAMES
    assert type(orvex_core.__all__) is list


def test_module_doc_is_the_empty_string():
    assert orvex_core.__doc__ == ""


@pytest.mark.parametrize("name", NAMES)
def test_function_belongs_to_the_module(name):
    function = getattr(orvex_core, name)
    assert function.__name__ == name
    assert function.__module__ == "orvex_core"
    assert function.__self__ is orvex_core


@pytest.mark.parametrize("name", NAMES)
def test_signature_names_every_parameter_and_nothing_else(name):
    function = getattr(orvex_core, name)
    parameters = inspect.signature(function).parameters
    assert list(parameters) == PARAMETERS[name]
    for parameter in parameters.values():
        assert parameter.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD
        assert parameter.default is inspect.Parameter.empty
    assert function.__doc__ is None
    assert function.__text_signature__ == "(" + ", ".join(PARAMETERS[name]) + ")"


def test_panic_exception_is_not_a_module_attribute():
    assert not hasattr(orvex_core, "PanicException")


# ---------------------------------------------------------------- binding

BINDING_CASES = [
    # missing arguments: the name list in its three shapes
    (G, (), {}, "generate_logic_fingerprint() missing 1 required positional argument: 'manifest_json'"),
    (V, ("{}",), {}, "validate_intent_json() missing 2 required positional arguments: 'action_json' and 'state_json'"),
    (V, (), {}, "validate_intent_json() missing 3 required positional arguments: "
     "'intent_json', 'action_json', and 'state_json'"),
    (V, (), {"action_json": "{}", "state_json": "{}"},
     "validate_intent_json() missing 1 required positional argument: 'intent_json'"),
    (V, (), {"state_json": "{}"},
     "validate_intent_json() missing 2 required positional arguments: 'intent_json' and 'action_json'"),
    (V, (), {"action_json": "{}"},
     "validate_intent_json() missing 2 required positional arguments: 'intent_json' and 'state_json'"),
    (F, (), {}, "verify_logic_fingerprint() missing 2 required positional arguments: "
     "'manifest_json' and 'expected_fingerprint'"),
    (F, (), {"expected_fingerprint": "x"},
     "verify_logic_fingerprint() missing 1 required positional argument: 'manifest_json'"),
    (F, ("x",), {}, "verify_logic_fingerprint() missing 1 required positional argument: 'expected_fingerprint'"),
    # too many positional arguments: "arguments" stays plural, reported first
    (G, ("a", "b"), {}, "generate_logic_fingerprint() takes 1 positional arguments but 2 were given"),
    (F, ("a", "b", "c"), {}, "verify_logic_fingerprint() takes 2 positional arguments but 3 were given"),
    (F, ("a", "b", "c"), {"wrong": 1}, "verify_logic_fingerprint() takes 2 positional arguments but 3 were given"),
    (F, ("a", "b", "c"), {"manifest_json": 1},
     "verify_logic_fingerprint() takes 2 positional arguments but 3 were given"),
    (V, (1, 2, 3, 4), {}, "validate_intent_json() takes 3 positional arguments but 4 were given"),
    (G, (1, 2, 3, 4, 5), {}, "generate_logic_fingerprint() takes 1 positional arguments but 5 were given"),
    # unknown keywords: names match byte for byte, before missing arguments
    (G, (), {"manifest": "x"}, "generate_logic_fingerprint() got an unexpected keyword argument 'manifest'"),
    (G, (), {"Manifest_json": "x"},
     "generate_logic_fingerprint() got an unexpected keyword argument 'Manifest_json'"),
    (G, (), {"manifest_json ": "x"},
     "generate_logic_fingerprint() got an unexpected keyword argument 'manifest_json '"),
    (G, ("x",), {"extra": 5}, "generate_logic_fingerprint() got an unexpected keyword argument 'extra'"),
    (V, (), {"bogus": 1}, "validate_intent_json() got an unexpected keyword argument 'bogus'"),
    (G, (), {"manifést": 1}, "generate_logic_fingerprint() got an unexpected keyword argument 'manifést'"),
    (G, (), {"expected_fingerprint": 1},
     "generate_logic_fingerprint() got an unexpected keyword argument 'expected_fingerprint'"),
    # a keyword for a filled slot
    (F, ("x",), {"manifest_json": "y"}, "verify_logic_fingerprint() got multiple values for argument 'manifest_json'"),
    (V, (1, 2), {"action_json": 3}, "validate_intent_json() got multiple values for argument 'action_json'"),
    (G, (5,), {"manifest_json": 6}, "generate_logic_fingerprint() got multiple values for argument 'manifest_json'"),
    # keywords are visited in the order the caller wrote them
    (F, ("x",), {"zzz": 1, "manifest_json": "y"}, "verify_logic_fingerprint() got an unexpected keyword argument 'zzz'"),
    (F, ("x",), {"manifest_json": "y", "zzz": 1},
     "verify_logic_fingerprint() got multiple values for argument 'manifest_json'"),
    # binding errors come before any conversion
    (V, (5,), {}, "validate_intent_json() missing 2 required positional arguments: 'action_json' and 'state_json'"),
    (F, (5,), {"nope": 6}, "verify_logic_fingerprint() got an unexpected keyword argument 'nope'"),
]


@pytest.mark.parametrize("function, args, kwargs, expected", BINDING_CASES)
def test_binding_error_text(function, args, kwargs, expected):
    assert type_error_text(function, *args, **kwargs) == expected


def test_unencodable_keyword_is_shown_with_replacement_characters():
    keyword = "man\ud800ifest"
    shown = keyword.encode("utf-8", "surrogatepass").decode("utf-8", "replace")
    assert shown != keyword
    assert type_error_text(G, **{keyword: 1}) == (
        "generate_logic_fingerprint() got an unexpected keyword argument '" + shown + "'")


def test_unprintable_keyword_is_reported_as_unraisable(monkeypatch):
    class Unprintable(str):
        def __str__(self):
            raise RuntimeError("no text")

    reported = []
    monkeypatch.setattr(sys, "unraisablehook", reported.append)
    text = type_error_text(G, **{Unprintable("bogus"): 1})
    assert text == ("generate_logic_fingerprint() got an unexpected keyword argument "
                    "'<unprintable " + Unprintable.__qualname__ + " object>'")
    assert [type(r.exc_value) for r in reported] == [RuntimeError]


def test_str_subclass_keyword_matches_by_its_content():
    key = Text("manifest_json")
    assert outcome(G, **{key: "["}) == outcome(G, "[")


# ---------------------------------------------------------------- conversion

CONVERSION_CASES = [
    (G, (5,), {}, "argument 'manifest_json': 'int' object cannot be converted to 'PyString'"),
    (G, (b"{}",), {}, "argument 'manifest_json': 'bytes' object cannot be converted to 'PyString'"),
    (G, (None,), {}, "argument 'manifest_json': 'NoneType' object cannot be converted to 'PyString'"),
    (G, (1.5,), {}, "argument 'manifest_json': 'float' object cannot be converted to 'PyString'"),
    (G, (["{}"],), {}, "argument 'manifest_json': 'list' object cannot be converted to 'PyString'"),
    (G, (bytearray(b"{}"),), {}, "argument 'manifest_json': 'bytearray' object cannot be converted to 'PyString'"),
    (G, (Outer.Inner(),), {}, "argument 'manifest_json': 'Outer.Inner' object cannot be converted to 'PyString'"),
    (G, (), {"manifest_json": True}, "argument 'manifest_json': 'bool' object cannot be converted to 'PyString'"),
    # the qualified name, and its stand-in when it cannot be read as text
    (G, (with_qualname("Custom.Name"),), {},
     "argument 'manifest_json': 'Custom.Name' object cannot be converted to 'PyString'"),
    (G, (with_qualname(42),), {},
     "argument 'manifest_json': '<failed to extract type name>' object cannot be converted to 'PyString'"),
    (G, (with_qualname(RuntimeError("boom")),), {},
     "argument 'manifest_json': '<failed to extract type name>' object cannot be converted to 'PyString'"),
    (G, (with_qualname(AttributeError("none")),), {},
     "argument 'manifest_json': '<failed to extract type name>' object cannot be converted to 'PyString'"),
    (G, (renamed("bad\udc80name"),), {},
     "argument 'manifest_json': '<failed to extract type name>' object cannot be converted to 'PyString'"),
    # only the first failing parameter, in parameter order, is reported
    (F, (1, 2), {}, "argument 'manifest_json': 'int' object cannot be converted to 'PyString'"),
    (F, ("not json", 7), {}, "argument 'expected_fingerprint': 'int' object cannot be converted to 'PyString'"),
    (F, (), {"expected_fingerprint": 2, "manifest_json": 1.0},
     "argument 'manifest_json': 'float' object cannot be converted to 'PyString'"),
    (F, (5, "\ud800"), {}, "argument 'manifest_json': 'int' object cannot be converted to 'PyString'"),
    (V, ("{}", "{}", 3), {}, "argument 'state_json': 'int' object cannot be converted to 'PyString'"),
    (V, ("{}", b"{}", 3), {}, "argument 'action_json': 'bytes' object cannot be converted to 'PyString'"),
    (V, (), {"state_json": 1, "action_json": 2, "intent_json": "{}"},
     "argument 'action_json': 'int' object cannot be converted to 'PyString'"),
]


@pytest.mark.parametrize("function, args, kwargs, expected", CONVERSION_CASES)
def test_conversion_error_text(function, args, kwargs, expected):
    with pytest.raises(TypeError) as caught:
        function(*args, **kwargs)
    assert type(caught.value) is TypeError
    assert caught.value.args == (expected,)
    assert caught.value.__cause__ is None


SURROGATE_CASES = [
    (G, ("\ud800",), 0),
    (G, ('{"a": "\udfff"}',), 0),
    (F, ("{}", "ab\udc80"), 1),
    (F, ("\ud800", 5), 0),  # later arguments are not looked at
    (V, ("{}", "{}", "\ud83d"), 2),
]


@pytest.mark.parametrize("function, args, index", SURROGATE_CASES)
def test_lone_surrogate_raises_the_encoders_own_error(function, args, index):
    with pytest.raises(UnicodeEncodeError) as caught:
        function(*args)
    error = caught.value
    assert type(error) is UnicodeEncodeError
    assert error.encoding == "utf-8"
    assert error.object == args[index]
    assert error.reason == "surrogates not allowed"
    assert not str(error).startswith("argument")


def test_str_subclass_is_taken_by_its_content():
    for text in ["[", "{}", "not json", '{"ModSurfaces": []}']:
        assert outcome(G, Text(text)) == outcome(G, text)
        assert outcome(F, Text(text), Text("0" * 64)) == outcome(F, text, "0" * 64)


def test_nul_characters_stay_in_the_text():
    # Were the text cut at U+0000, both calls would read the same "[".
    assert outcome(G, "[\0]") != outcome(G, "[")
    assert outcome(G, "[\0]") == outcome(G, "[\0]")


# ---------------------------------------------------------------- operations


def test_keywords_bind_by_name_in_either_order():
    manifest, expected = '{"ModSurfaces": []}', "0" * 64
    positional = outcome(F, manifest, expected)
    assert positional[0] is not TypeError
    assert outcome(F, manifest_json=manifest, expected_fingerprint=expected) == positional
    assert outcome(F, expected_fingerprint=expected, manifest_json=manifest) == positional
    assert outcome(F, manifest, expected_fingerprint=expected) == positional


@pytest.mark.parametrize("text", ["[", "not json", "{}", ""])
def test_operation_failure_is_value_error_with_the_message_as_only_argument(text):
    with pytest.raises(ValueError) as caught:
        G(text)
    assert type(caught.value) is ValueError
    assert len(caught.value.args) == 1
    assert type(caught.value.args[0]) is str
    assert str(caught.value) == caught.value.args[0]


ALLOWED = (
    json.dumps({"id": "i-1", "objective": "o", "mode": "strict", "version": "1.0", "constraints": []}),
    json.dumps({"params": {}}),
    json.dumps({"values": {}}),
)


def raise_panic(monkeypatch, tmp_path):
    """An abort that ordinary input can reach: a decision without a seed."""
    monkeypatch.delenv("ORVEX_SEED", raising=False)
    monkeypatch.chdir(tmp_path)
    with pytest.raises(BaseException) as caught:
        V(*ALLOWED)
    return caught.value


def test_abort_is_panic_exception_outside_exception(monkeypatch, tmp_path, capfd):
    error = raise_panic(monkeypatch, tmp_path)
    panic_type = type(error)
    assert panic_type.__name__ == "PanicException"
    assert panic_type.__module__ == "orvex_core"
    assert panic_type.__bases__ == (BaseException,)
    assert not isinstance(error, Exception)
    assert len(error.args) == 1 and error.args[0]
    # The same text was written to standard error before the raise.
    assert error.args[0] in capfd.readouterr().err
    # One type for the life of the process.
    assert type(raise_panic(monkeypatch, tmp_path)) is panic_type


def test_except_exception_does_not_catch_an_abort(monkeypatch, tmp_path):
    monkeypatch.delenv("ORVEX_SEED", raising=False)
    monkeypatch.chdir(tmp_path)
    with pytest.raises(BaseException) as caught:
        try:
            V(*ALLOWED)
        except Exception:  # noqa: BLE001 -- the point of the test
            pytest.fail("PanicException was caught as an Exception")
    assert type(caught.value).__name__ == "PanicException"


# ---------------------------------------------------------------- lifecycle


def test_module_stays_usable_after_every_exception(monkeypatch, tmp_path, capfd):
    baseline = outcome(G, "[")
    failing_calls = [(f, a, k) for f, a, k, _ in BINDING_CASES + CONVERSION_CASES]
    failing_calls += [(f, a, {}) for f, a, _ in SURROGATE_CASES]
    failing_calls += [(G, ("not json",), {})]
    for function, args, kwargs in failing_calls:
        assert outcome(function, *args, **kwargs)[0] != "value"
        assert outcome(G, "[") == baseline
    raise_panic(monkeypatch, tmp_path)
    assert outcome(G, "[") == baseline
    assert orvex_core.__all__ == NAMES


def run_fresh(code, cwd=None):
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)],
                          capture_output=True, text=True, timeout=60, cwd=cwd)


def test_second_initialisation_in_one_process_raises_import_error():
    result = run_fresh("""
        import sys
        import orvex_core
        del sys.modules["orvex_core"]
        try:
            import orvex_core
        except ImportError as error:
            print(type(error).__name__, error)
        else:
            print("imported twice")
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith("ImportError ")
    assert "may only be initialized once per interpreter process" in result.stdout


def test_import_creates_no_file_and_writes_nothing(tmp_path):
    result = run_fresh("""
        import os
        import orvex_core
        print(sorted(os.listdir(".")))
    """, cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "[]"
    assert result.stderr == ""
