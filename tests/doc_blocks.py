"""Fenced examples of the README and docs/*.md, and how to run each as a reader would.

The kinds of fence, by their info string:
- python:  a script; it must exit with status 0.
- pycon:   an interactive session; each `>>>` line's output must match what is shown.
- sh:      a shell script run with `set -eu -o pipefail`; it must exit with status 0.
- console: shell commands after `$ `, each followed by what it prints (standard error
           included); the printed text must match what is shown.
- anything else (text, json, ...) is never run.
In shown output, `...` stands for any text (a key, a timestamp, a signature).

A runnable block directly preceded by a line `<!-- not run: REASON -->` is skipped.

Every block runs on its own, in a fresh scratch directory holding a copy of `examples/`,
with a throwaway ORVEX_SEED and the directory of the test's interpreter first on PATH,
so that `python`, `python3` and `orvex-audit` are the ones installed with the module.
"""

import doctest
import os
import re
import secrets
import shutil
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import List, Optional

ROOT = Path(__file__).resolve().parent.parent
RUNNABLE = ("python", "pycon", "sh", "console")
SKIP_MARK = re.compile(r"^<!-- not run: (?P<reason>.+?) -->$")
FENCE = re.compile(r"^```(?P<info>[^`]*)$")
BLOCK_TIMEOUT = 120


@dataclass
class Block:
    path: Path
    line: int            # 1-based line of the opening fence
    language: str
    text: str
    skip_reason: Optional[str]

    @property
    def name(self):
        try:
            shown = self.path.relative_to(ROOT)
        except ValueError:
            shown = self.path
        return "%s:%d" % (shown, self.line)


def documentation_files():
    return [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md"))


def fenced_blocks(path: Path) -> List[Block]:
    """Every fenced block of a Markdown file, runnable or not, in file order."""
    lines = path.read_text(encoding="utf-8").splitlines()
    blocks = []
    index = 0
    while index < len(lines):
        opening = FENCE.match(lines[index])
        if opening is None:
            index += 1
            continue
        language = opening.group("info").strip().split(" ")[0]
        mark = SKIP_MARK.match(lines[index - 1]) if index > 0 else None
        end = index + 1
        while end < len(lines) and lines[end] != "```":
            end += 1
        if end == len(lines):
            raise ValueError("%s:%d: fence never closed" % (path, index + 1))
        blocks.append(Block(path, index + 1, language, "\n".join(lines[index + 1:end]) + "\n",
                            mark.group("reason") if mark else None))
        index = end + 1
    return blocks


def scratch_environment(scratch: Path):
    """A reader's shell: the module's own interpreter and tools first on PATH, a throwaway seed."""
    shutil.copytree(ROOT / "examples", scratch / "examples")
    tools = os.path.dirname(sys.executable)
    env = {key: value for key, value in os.environ.items() if not key.startswith("PYTHON")}
    env.update(ORVEX_SEED=secrets.token_hex(32), PATH=tools + os.pathsep + env.get("PATH", ""),
               HOME=str(scratch), LC_ALL="C.UTF-8")
    return env


def output_matches(shown: str, printed: str) -> bool:
    checker = doctest.OutputChecker()
    return checker.check_output(shown, printed, doctest.ELLIPSIS)


# Runs a pycon block's session in a fresh interpreter: doctest with `...` as a wildcard.
PYCON_DRIVER = """\
import doctest, sys
text = sys.stdin.read()
test = doctest.DocTestParser().get_doctest(text, {"__name__": "__main__"}, "block", "block", 0)
runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
runner.run(test, out=sys.stdout.write)
sys.exit(1 if runner.failures else 0)
"""


def console_commands(text: str):
    """[(command, shown output)] of a console block."""
    commands = []
    for line in text.splitlines(keepends=True):
        if line.startswith("$ "):
            commands.append([line[2:].rstrip("\n"), ""])
        elif commands:
            commands[-1][1] += line
        elif line.strip():
            raise ValueError("a console block must start with a `$ ` command")
    return commands


def run_block(block: Block, scratch: Path) -> Optional[str]:
    """None when the block runs as written, else what went wrong."""
    env = scratch_environment(scratch)

    def run(arguments, stdin=None):
        return subprocess.run(arguments, cwd=scratch, env=env, input=stdin, capture_output=True,
                              text=True, timeout=BLOCK_TIMEOUT)

    if block.language == "python":
        done = run([sys.executable, "-"], block.text)
        return None if done.returncode == 0 else "exit %d\n%s%s" % (done.returncode, done.stdout,
                                                                  done.stderr)
    if block.language == "pycon":
        done = run([sys.executable, "-c", PYCON_DRIVER], block.text)
        return None if done.returncode == 0 else done.stdout + done.stderr
    if block.language == "sh":
        done = run(["bash", "-c", "set -eu -o pipefail\n" + block.text])
        return None if done.returncode == 0 else "exit %d\n%s%s" % (done.returncode, done.stdout,
                                                                  done.stderr)
    if block.language == "console":
        commands = console_commands(block.text)
        marker = "@@command-%s@@" % secrets.token_hex(8)
        script = "exec 2>&1\n" + "".join("echo %s\n%s\n" % (marker, command) for command, _ in commands)
        done = run(["bash", "-c", script])
        printed = done.stdout.split(marker + "\n")[1:]
        if len(printed) != len(commands):
            return "the shell stopped early:\n" + done.stdout
        problems = []
        for (command, shown), got in zip(commands, printed):
            if not output_matches(shown, got):
                problems.append("$ %s\nshown:\n%sprinted:\n%s" % (command, shown, got))
        return "\n".join(problems) or None
    raise ValueError("not a runnable block: " + block.language)
