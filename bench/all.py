#!/usr/bin/env python3
"""Runs every benchmark once per build of the module and prints one table
of their ratios, the builds' rows side by side.

    all.py [--build LABEL=PYTHON]...

Each build is an interpreter with orvex_core installed: by default this
one; `make bench` names the source build (GCC) and the x86-64 release wheel
(zig), installed into an environment of its own.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

from machine import cpu_model

HERE = os.path.dirname(os.path.abspath(__file__))
BENCHMARKS = ["guard.py", "fingerprint.py", "reading.py", "verify.py", "ledger.py"]


def build(text):
    label, separator, python = text.partition("=")
    if not (label and separator and python):
        raise argparse.ArgumentTypeError("expected LABEL=PYTHON, got %r" % text)
    return label, python


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=build, action="append", metavar="LABEL=PYTHON",
                        help="an interpreter with a build of the module installed (repeatable)")
    builds = parser.parse_args().build or [("installed", sys.executable)]
    rows = []
    with tempfile.TemporaryDirectory() as scratch:
        for label, python in builds:
            summary = os.path.join(scratch, label + ".jsonl")
            for script in BENCHMARKS:
                print(f"== {label}: {script}", flush=True)
                subprocess.run([python, os.path.join(HERE, script), "--summary", summary], check=True)
            with open(summary, encoding="utf-8") as lines:
                rows += [dict(json.loads(line), build=label) for line in lines]
    print()
    print(f"CPU: {cpu_model()}")
    width = max([len("measure")] + [len(row["measure"]) for row in rows])
    label_width = max(len("build"), *(len(label) for label, _ in builds))
    print(f"{'build':<{label_width}} {'benchmark':<12} {'measure':<{width}} {'ratio':>8}  {'target':<8} result")
    for row in rows:
        print(f"{row['build']:<{label_width}} {row['benchmark']:<12} {row['measure']:<{width}} "
              f"{row['value']:>7.2f}x  {row['target']:<8} {'PASS' if row['pass'] else 'MISS'}")


if __name__ == "__main__":
    main()
