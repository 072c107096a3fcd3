"""tools/project_extra.py, which hands the Makefile pyproject.toml's test extra:
its own reader for interpreters without tomllib reads the forms an array of
requirements takes, and agrees with tomllib on the project's own file."""

import importlib.util
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

TOOL = Path(__file__).resolve().parent.parent / "tools" / "project_extra.py"
spec = importlib.util.spec_from_file_location("project_extra", TOOL)
project_extra = importlib.util.module_from_spec(spec)
spec.loader.exec_module(project_extra)

OTHER_TABLES = """\
[build-system]
requires = ["scikit-build-core>=0.11"]
test = ["not this one"]

"""

READINGS = [
    # (the optional-dependencies table, what the `test` extra reads as)
    ('test = ["pytest>=7", "mypy>=1"]', ["pytest>=7", "mypy>=1"]),
    ('"test" = [ "pytest>=7" ]  # quoted key', ["pytest>=7"]),
    ('docs = ["sphinx"]\ntest = []', []),
    ('tests = ["a"]\ntest = ["b"]', ["b"]),
    ("""\
     test = [
       "pytest>=7",  # the runner
       # "commented-out>=1",
       "cryptography>=41; python_version >= '3.8'",
       "name[extra]>=1",
     ]""", ["pytest>=7", "cryptography>=41; python_version >= '3.8'", "name[extra]>=1"]),
    ('test = ["hash#in>=1"]', ["hash#in>=1"]),
    ('docs = ["sphinx"]', None),
]


@pytest.mark.parametrize("table, expected", READINGS)
def test_plain_reader_reads_each_form(table, expected):
    text = OTHER_TABLES + "[project.optional-dependencies]\n" + textwrap.dedent(table) + "\n\n[tool.other]\ntest = 1\n"
    assert project_extra.read_extra_plainly(text, "test") == expected


def test_plain_reader_agrees_with_tomllib_on_pyproject():
    tomllib = pytest.importorskip("tomllib")
    text = project_extra.PYPROJECT.read_text(encoding="utf-8")
    expected = tomllib.loads(text)["project"]["optional-dependencies"]["test"]
    assert expected
    assert project_extra.read_extra_plainly(text, "test") == expected


def test_prints_one_requirement_a_line_and_refuses_a_missing_extra():
    done = subprocess.run([sys.executable, str(TOOL), "test"], capture_output=True, text=True, check=True)
    assert done.stdout.splitlines() == project_extra.read_extra_plainly(
        project_extra.PYPROJECT.read_text(encoding="utf-8"), "test")
    missing = subprocess.run([sys.executable, str(TOOL), "no-such-extra"], capture_output=True, text=True)
    assert (missing.returncode, missing.stdout) == (1, "")
    assert missing.stderr == "pyproject.toml has no optional extra 'no-such-extra'\n"
