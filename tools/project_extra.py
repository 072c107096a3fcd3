#!/usr/bin/env python3
"""Prints the requirements of one optional extra of pyproject.toml, one a line.

    python tools/project_extra.py test > requirements.txt

The Makefile installs the test tools from this list, so that pyproject.toml
alone names them. Interpreters from 3.11 on read the file with tomllib; older
ones (the project supports 3.8) with a small reader that takes the extra's
array as pyproject.toml writes it: double-quoted strings on one line or
several, with comments.
"""

import re
import sys
from pathlib import Path

PYPROJECT = Path(__file__).resolve().parent.parent / "pyproject.toml"
SECTION = "[project.optional-dependencies]"
QUOTED = r'"(?:[^"\\]|\\.)*"'


def without_comment(line):
    """The line up to a `#` that is not inside a quoted string."""
    return re.sub(r"(" + QUOTED + r")|#.*", lambda m: m.group(1) or "", line)


def read_extra_plainly(text, extra):
    """The extra's requirements, or None when the section or the extra is missing."""
    lines = iter(text.splitlines())
    in_section = False
    for line in lines:
        line = without_comment(line).strip()
        if line.startswith("["):
            in_section = line == SECTION
            continue
        key = re.match(r'("?)([A-Za-z0-9_.-]+)\1\s*=\s*(.*)', line)
        if not in_section or key is None or key.group(2) != extra:
            continue
        array = key.group(3)
        while array.count("[") > array.count("]"):
            array += " " + without_comment(next(lines))
        return [item[1:-1] for item in re.findall(QUOTED, array)]
    return None


def read_extra(text, extra):
    try:
        import tomllib
    except ImportError:
        return read_extra_plainly(text, extra)
    return tomllib.loads(text).get("project", {}).get("optional-dependencies", {}).get(extra)


def main(argv):
    if len(argv) != 2:
        print("usage: project_extra.py EXTRA", file=sys.stderr)
        return 2
    requirements = read_extra(PYPROJECT.read_text(encoding="utf-8"), argv[1])
    if requirements is None:
        print(f"pyproject.toml has no optional extra {argv[1]!r}", file=sys.stderr)
        return 1
    for requirement in requirements:
        print(requirement)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
