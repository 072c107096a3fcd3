"""The type stubs installed with the module: they agree with the built module
(mypy's stubtest), and a type checker finds them without any set-up."""

import os
import subprocess
import sys
import textwrap

import pytest

pytest.importorskip("mypy")


def mypy_tool(arguments, cwd, env=None):
    """(exit status, output) of `python -m <arguments>` run beside the test's interpreter."""
    done = subprocess.run([sys.executable, "-m", *arguments], cwd=cwd, env=env, capture_output=True,
                          text=True, timeout=600)
    return done.returncode, done.stdout + done.stderr


def test_stubs_match_the_built_module(tmp_path):
    status, output = mypy_tool(["mypy.stubtest", "orvex_core"], cwd=tmp_path)
    assert status == 0, output


def test_stubtest_notices_a_wrong_signature(tmp_path):
    """The check above can fail: a stub that renames a parameter is caught."""
    stub_dir = tmp_path / "stubs"
    stub_dir.mkdir()
    (stub_dir / "orvex_core.pyi").write_text(textwrap.dedent("""\
        from typing import List, Literal
        __all__: List[str] = ["validate_intent_json", "generate_logic_fingerprint", "verify_logic_fingerprint"]
        def validate_intent_json(intent_json: str, action_json: str, state_json: str) -> Literal[True]: ...
        def generate_logic_fingerprint(manifest: str) -> str: ...
        def verify_logic_fingerprint(manifest_json: str, expected_fingerprint: str) -> bool: ...
        """))
    env = dict(os.environ, MYPYPATH=str(stub_dir))
    status, output = mypy_tool(["mypy.stubtest", "orvex_core"], cwd=tmp_path, env=env)
    assert status != 0
    assert "orvex_core.generate_logic_fingerprint" in output


def check(source, tmp_path):
    path = tmp_path / "use.py"
    path.write_text(textwrap.dedent(source))
    return mypy_tool(["mypy", "--no-error-summary", "--cache-dir", os.devnull, str(path)], cwd=tmp_path)


def test_type_checker_finds_the_stubs(tmp_path):
    status, output = check("""\
        import orvex_core
        fingerprint: str = orvex_core.generate_logic_fingerprint("{}")
        same: bool = orvex_core.verify_logic_fingerprint(manifest_json="{}", expected_fingerprint=fingerprint)
        reveal_type(orvex_core.validate_intent_json("{}", "{}", "{}"))
        """, tmp_path)
    assert status == 0, output
    assert 'Revealed type is "Literal[True]"' in output


# (source, an error mypy must report)
MISUSES = [
    ("orvex_core.generate_logic_fingerprint(b'{}')", 'incompatible type "bytes"; expected "str"'),
    ("orvex_core.validate_intent_json('{}', '{}')", 'Missing positional argument "state_json"'),
    ("orvex_core.verify_logic_fingerprint('{}', fingerprint='x')", 'Unexpected keyword argument "fingerprint"'),
    ("n: int = orvex_core.generate_logic_fingerprint('{}')", 'expression has type "str", variable has type "int"'),
    ("orvex_core.PanicException", 'Module has no attribute "PanicException"'),
]


@pytest.mark.parametrize("source, error", MISUSES, ids=["bytes", "missing", "keyword", "result", "panic"])
def test_type_checker_refuses_misuse(tmp_path, source, error):
    status, output = check("import orvex_core\n" + source + "\n", tmp_path)
    assert status == 1
    assert error in output, output
