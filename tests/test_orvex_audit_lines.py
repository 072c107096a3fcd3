"""orvex-audit over lines that are replayed, or longer than any buffer:
repeats are named, genuine records of any length verify, and memory stays
near twice the longest line whatever the line holds."""

import json
import os
import subprocess
import sys

import pytest

import orvex_core
from test_orvex_audit import COMMAND, LOG_NAME, NOTHING_PINNED, PUBLIC_KEY, SEED, run, summary, write_lines, write_log

MIB = 1 << 20


# --- Repeated lines ----------------------------------------------------------


def repeat(at, earlier_name, earlier_line):
    return "%s: repeats %s:%d byte for byte\n" % (at, earlier_name, earlier_line)


def test_a_replayed_record_names_the_line_it_repeats(log_lines, tmp_path):
    path = tmp_path / "replayed.log"
    write_lines(path, log_lines[:3] + [log_lines[1], log_lines[3], log_lines[0]])
    assert run("verify", "--public-key", PUBLIC_KEY, str(path)) == (
        1, repeat("%s:4" % path, path, 2) + repeat("%s:6" % path, path, 1) + summary(6, 4), "")


def test_repeats_across_inputs_and_standard_input(log_lines, tmp_path):
    first, second = tmp_path / "first.log", tmp_path / "second.log"
    write_lines(first, log_lines[:2])
    write_lines(second, [log_lines[2], log_lines[1]])
    stdin_text = (log_lines[3] + "\n" + log_lines[2] + "\n").encode("utf-8")
    assert run("verify", "--public-key", PUBLIC_KEY, str(first), str(second), "-", stdin=stdin_text) == (
        1, repeat("%s:2" % second, first, 2) + repeat("(standard input):2", second, 1) + summary(6, 4), "")
    # Unpinned the same, and the key counts only the first of each line.
    assert run("verify", str(first), str(second), "-", stdin=stdin_text) == (
        1, repeat("%s:2" % second, first, 2) + repeat("(standard input):2", second, 1) +
        summary(6, 4, [(PUBLIC_KEY, 4)]), NOTHING_PINNED)


def test_a_repeated_refused_line_keeps_its_own_reason(log_lines, tmp_path):
    """Only valid records are remembered: a damaged line is refused for its damage, every time."""
    path = tmp_path / "damaged.log"
    write_lines(path, ["{}", log_lines[0], "{}"])
    assert run("verify", "--public-key", PUBLIC_KEY, str(path)) == (
        1, '%s:1: missing member "timestamp"\n%s:3: missing member "timestamp"\n' % (path, path) + summary(3, 1), "")


def test_repeats_are_found_after_the_table_has_grown(tmp_path, monkeypatch):
    """Enough records to move the remembered lines into larger tables several times."""
    lines = write_log(tmp_path, monkeypatch, count=3000)
    assert len(set(lines)) == len(lines) == 3000
    path = tmp_path / "long.log"
    write_lines(path, lines + [lines[2999], lines[0], lines[1500]])
    assert run("verify", "--public-key", PUBLIC_KEY, str(path)) == (
        1, repeat("%s:3001" % path, path, 3000) + repeat("%s:3002" % path, path, 1) +
        repeat("%s:3003" % path, path, 1501) + summary(3003, 3000), "")


@pytest.fixture
def log_lines(tmp_path, monkeypatch):
    return write_log(tmp_path, monkeypatch, count=4)


# --- Long lines and memory ---------------------------------------------------


# Runs the command from a fresh small interpreter and prints its peak
# resident memory: a child forked from this large test process would count
# this process's pages until it starts the command.
MEASURE = """
import os, subprocess, sys
process = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
out = process.stdout.read()
_, status, usage = os.wait4(process.pid, 0)
sys.stdout.buffer.write(b"%d %d\\n" % (os.WEXITSTATUS(status), usage.ru_maxrss * 1024) + out)
"""


def run_measured(*arguments):
    """(exit status, standard output, peak resident memory in bytes) of one run."""
    done = subprocess.run([sys.executable, "-c", MEASURE, COMMAND, *arguments], capture_output=True, check=True)
    first, out = done.stdout.split(b"\n", 1)
    status, peak = map(int, first.split())
    return status, out.decode("utf-8"), peak


# Bytes a run needs besides the line: buffers, the program and its libraries.
FIXED_ALLOWANCE = 16 * MIB


def test_a_genuine_record_longer_than_64_mib_verifies_in_twice_its_size(tmp_path, monkeypatch):
    monkeypatch.setenv("ORVEX_SEED", SEED)
    monkeypatch.chdir(tmp_path)
    intent = json.dumps({"id": "big", "objective": "o", "mode": "strict", "version": "1", "constraints": []})
    params = {"blob": "x" * (65 * MIB), "n": [0.5, -1, None]}
    assert orvex_core.validate_intent_json(intent, json.dumps({"params": params}), '{"values":{}}') is True
    path = tmp_path / LOG_NAME
    size = path.stat().st_size
    assert size > 65 * MIB
    status, out, peak = run_measured("verify", "--public-key", PUBLIC_KEY, str(path))
    assert (status, out) == (0, summary(1, 1))
    assert peak <= 2 * size + FIXED_ALLOWANCE, "peak %d MiB for a %d MiB line" % (peak // MIB, size // MIB)


def long_shapes(size):
    """Lines of about `size` bytes that hold many values, one deep value, or one long string."""
    count = size // 2
    members = size // 8
    return [
        ("numbers", b"[" + b"0," * (count - 1) + b"0]", "not a JSON object"),
        ("members", b"{" + b",".join(b'"%07d":0' % (n % 10**7) for n in range(members)) + b"}",
         'member 1 is "0000000" where "timestamp" belongs'),
        ("string", b'"' + b"a" * (size - 2) + b'"', "not a JSON object"),
        ("nesting", b"[" * size, "not JSON: recursion limit exceeded at column 128"),
    ]


@pytest.mark.parametrize("shape", range(4), ids=["numbers", "members", "string", "nesting"])
def test_memory_stays_near_twice_a_64_mib_line(tmp_path, shape):
    name, line, reason = long_shapes(64 * MIB - 2)[shape]
    path = tmp_path / ("%s.log" % name)
    path.write_bytes(line + b"\n")
    status, out, peak = run_measured("verify", "--public-key", PUBLIC_KEY, str(path))
    assert (status, out) == (1, "%s:1: %s\n" % (path, reason) + summary(1, 0))
    assert peak <= 2 * len(line) + FIXED_ALLOWANCE, "peak %d MiB for %s" % (peak // MIB, name)
