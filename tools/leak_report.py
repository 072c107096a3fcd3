"""Reads the XML reports of a valgrind memcheck run of the Python tests (one
per process) and decides whether the module is clean.

    python tools/leak_report.py build/leakcheck/memcheck.*.xml

An error is ours when any frame of its stack lies in the orvex_core module
or in its sources; every such error (a definite leak, an invalid read or
write, a use of uninitialised memory, ...) is printed with its stack and
fails the check. Errors with no frame of ours are the interpreter's and
its libraries'; they are counted by kind and shown (every leak, a few of
the rest) for a reader to judge, and never fail the check. Only such
errors may be hidden by the suppression file.
"""

import collections
import os
import sys
import xml.etree.ElementTree as ElementTree

MODULE_OBJECT_PREFIX = "orvex_core"
SOURCE_ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", "src"))
SHOWN_FOREIGN_ERRORS = 5
SHOWN_FOREIGN_FRAMES = 12


def frames(error):
    for frame in error.iter("frame"):
        yield {child.tag: (child.text or "") for child in frame}


def is_ours(frame):
    obj = os.path.basename(frame.get("obj", ""))
    source_dir = os.path.realpath(frame.get("dir", "")) if frame.get("dir") else ""
    return obj.startswith(MODULE_OBJECT_PREFIX) or source_dir.startswith(SOURCE_ROOT)


def describe(error, frame_limit=None):
    what = error.findtext("what") or error.findtext("xwhat/text") or error.findtext("kind")
    lines = [f"{error.findtext('kind')}: {what}"]
    for frame in list(frames(error))[:frame_limit]:
        where = frame.get("fn") or frame.get("ip", "?")
        if frame.get("file"):
            where += f" ({frame['file']}:{frame.get('line', '?')})"
        elif frame.get("obj"):
            where += f" ({os.path.basename(frame['obj'])})"
        lines.append(f"    {where}")
    return "\n".join(lines)


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    errors = []
    suppressed = 0
    replaced = 0
    for path in argv[1:]:
        with open(path, encoding="utf-8", errors="replace") as report:
            text = report.read()
        if "</valgrindoutput>" not in text and "<error>" not in text:
            # A forked child that went on to exec another program: its own
            # report, if traced, is in another file.
            replaced += 1
            continue
        root = ElementTree.fromstring(text)
        errors += root.findall("error")
        suppressed += sum(int(pair.findtext("count") or 0) for pair in root.iter("pair"))
    ours = [e for e in errors if any(is_ours(f) for f in frames(e))]
    foreign = [e for e in errors if e not in ours]

    foreign_kinds = collections.Counter(e.findtext("kind") for e in foreign)
    print(f"memcheck: {len(argv) - 1 - replaced} process(es) checked ({replaced} replaced by exec), "
          f"{len(errors)} error record(s), {suppressed} suppressed occurrence(s)")
    print(f"  ours (orvex_core): {len(ours)}")
    print(f"  interpreter and libraries: {len(foreign)} {dict(foreign_kinds) if foreign else ''}")
    # Every foreign leak is shown: a reference the module takes and never
    # drops leaks an object that the interpreter allocated.
    foreign_leaks = [e for e in foreign if e.findtext("kind").startswith("Leak_")]
    others = [e for e in foreign if e not in foreign_leaks][:SHOWN_FOREIGN_ERRORS]
    for error in foreign_leaks + others:
        print("  " + describe(error, SHOWN_FOREIGN_FRAMES).replace("\n", "\n  "))
    for error in ours:
        print(describe(error))
    return 1 if ours else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
