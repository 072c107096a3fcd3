#!/usr/bin/env python3
"""Runs every benchmark once and prints one table of their ratios."""

import os
import subprocess
import sys
import tempfile

import json

from machine import cpu_model

HERE = os.path.dirname(os.path.abspath(__file__))
BENCHMARKS = ["guard.py", "fingerprint.py", "reading.py", "verify.py", "ledger.py"]


def main():
    with tempfile.TemporaryDirectory() as scratch:
        summary = os.path.join(scratch, "summary.jsonl")
        for script in BENCHMARKS:
            print(f"== {script}", flush=True)
            subprocess.run([sys.executable, os.path.join(HERE, script), "--summary", summary], check=True)
        with open(summary, encoding="utf-8") as lines:
            rows = [json.loads(line) for line in lines]
    print()
    print(f"CPU: {cpu_model()}")
    width = max([len("measure")] + [len(row["measure"]) for row in rows])
    print(f"{'benchmark':<12} {'measure':<{width}} {'ratio':>8}  {'target':<8} result")
    for row in rows:
        print(f"{row['benchmark']:<12} {row['measure']:<{width}} {row['value']:>7.2f}x  {row['target']:<8} "
              f"{'PASS' if row['pass'] else 'MISS'}")


if __name__ == "__main__":
    main()
