"""The logrotate recipe of examples/logrotate, run for real with Debian's
logrotate: four processes keep appending decisions through the module while
the log is rotated several times, each rotated file sealed by the recipe's
postrotate. Afterwards every decision is found exactly once and valid, and
the seal chain covers every rotated file; checked here with hashlib and
`cryptography`, and with orvex-audit verify."""

import gzip
import hashlib
import json
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

import pytest

from test_orvex_audit import COMMAND, LOG_NAME, PUBLIC_KEY, SEED, run
from test_orvex_audit_seals import check_chain, expected_summary, read_seals

ROOT = Path(__file__).resolve().parent.parent
RECIPE = ROOT / "examples" / "logrotate" / "orvex_audit.conf"
LOGROTATE = shutil.which("logrotate") or "/usr/sbin/logrotate"
WRITERS = 4
ROTATIONS = 4

# One writer: decides actions until the stop file appears, each action
# naming the writer and its sequence number, then prints how many it decided.
WRITER = r"""
import json, os, sys, time
import orvex_core
writer, stop = sys.argv[1], sys.argv[2]
intent = json.dumps({"id": "rotation", "objective": "o", "mode": "strict", "version": "1",
                     "constraints": [{"attribute": "amount", "operator": "<=", "value": 100, "priority": 0}]})
n = 0
while not os.path.exists(stop):
    action = json.dumps({"params": {"writer": writer, "seq": n, "amount": 50 + n % 100}})
    try:
        orvex_core.validate_intent_json(intent, action, '{"values":{}}')
    except ValueError as denial:
        assert str(denial).startswith("Constraint violation"), denial
    n += 1
    time.sleep(0.005)  # a busy service, not a flood: the logs stay quick to check
print(n)
"""


def recipe_for(directory, compress):
    """The example configuration with its paths moved into `directory`."""
    text = RECIPE.read_text()
    text = text.replace("/srv/agent", str(directory))
    text = text.replace("/etc/orvex/seal.key", str(directory / "seal.key"))
    text = text.replace("/usr/local/bin/orvex-audit", COMMAND)
    if not compress:
        text = text.replace("    compress\n", "    nocompress\n")
    assert str(directory) in text and COMMAND in text
    return text


def wait_until(condition, what, limit=600.0):
    """Polls `condition` until it holds; fails after `limit` seconds."""
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            pytest.fail("waited %.0f s for %s" % (limit, what))
        time.sleep(0.05)


def text_of(path):
    data = path.read_bytes()
    return gzip.decompress(data) if data[:2] == b"\x1f\x8b" else data


@pytest.fixture(scope="module", params=[True, False], ids=["compressed", "plain"])
def rotated(request, tmp_path_factory):
    """Runs the writers and the rotations once per mode; returns the directory
    and the number of decisions each writer made."""
    if not os.path.exists(LOGROTATE):
        pytest.fail("logrotate is not installed: run tools/install_system_deps.sh")
    directory = tmp_path_factory.mktemp("rotation")
    status, anchor, _ = run("seal-init", "--key-file", str(directory / "seal.key"), "--chain", "rotation")
    assert status == 0
    (directory / "anchors").write_text(anchor)
    config = directory / "orvex_audit.conf"
    config.write_text(recipe_for(directory, request.param))
    config.chmod(0o644)
    stop = directory / "stop"
    env = dict(os.environ, ORVEX_SEED=SEED)
    writers = [subprocess.Popen([sys.executable, "-c", WRITER, str(w), str(stop)], cwd=directory, env=env,
                                stdout=subprocess.PIPE) for w in range(WRITERS)]
    live = directory / LOG_NAME
    rotated_at = 0
    try:
        for _ in range(ROTATIONS):
            # Each rotation waits for what it needs, not for a guessed time:
            # on an emulated processor a writer takes seconds to start.
            # Every rotated file holds decisions ...
            wait_until(lambda: live.exists() and live.read_bytes().count(b"\n") >= WRITERS,
                       "%d new decisions in %s" % (WRITERS, live))
            # ... and the rotated name holds the time to the second: one
            # rotation per second at most.
            wait_until(lambda: int(time.time()) > rotated_at, "the next second")
            done = subprocess.run([LOGROTATE, "--force", "--state", str(directory / "state"), str(config)],
                                  capture_output=True, timeout=600)
            assert done.returncode == 0, done.stderr
            rotated_at = int(time.time())
    finally:
        stop.write_text("")
        counts = [int(w.communicate(timeout=60)[0]) for w in writers]
    return directory, counts, request.param


def log_files(directory):
    return sorted(p for p in directory.iterdir() if p.name.startswith(LOG_NAME))


def test_every_rotated_file_is_sealed_in_one_chain(rotated):
    directory, _, compressed = rotated
    seals = read_seals(directory / "orvex_audit.seals")
    assert len(seals) == ROTATIONS
    check_chain(seals)
    anchor = (directory / "anchors").read_text().strip().split("=")[1]
    assert seals[0]["public_key"] == anchor and all(s["chain"] == "rotation" for s in seals)
    rotated_files = [p for p in log_files(directory) if p.name != LOG_NAME]
    assert len(rotated_files) == ROTATIONS
    for seal, path in zip(seals, rotated_files):
        assert path.name == seal["file"] + (".gz" if compressed else "")
        assert (path.read_bytes()[:2] == b"\x1f\x8b") == compressed
        # The postrotate waited for late writers: the whole file is sealed.
        assert (seal["bytes"], seal["lines"], seal["sha256"], seal["first"], seal["last"]) == \
            expected_summary(text_of(path))
        assert seal["lines"] > 0


def test_every_decision_is_found_exactly_once(rotated):
    directory, counts, _ = rotated
    seen = []
    for path in log_files(directory):
        text = text_of(path)
        assert text.endswith(b"\n")
        for line in text.split(b"\n")[:-1]:
            params = json.loads(line)["action_params"]
            seen.append((int(params["writer"]), params["seq"]))
    assert sorted(seen) == sorted((w, n) for w, count in enumerate(counts) for n in range(count))
    assert min(counts) > 0


def test_every_record_verifies_with_the_pinned_key(rotated):
    directory, counts, _ = rotated
    # Standard input takes the decompressed texts, as `zcat` would give them.
    text = b"".join(text_of(path) for path in log_files(directory))
    status, out, _ = run("verify", "--public-key", PUBLIC_KEY, stdin=text)
    assert (status, out) == (0, "%d records read: %d valid, 0 invalid\n" % (sum(counts), sum(counts)))


def verify_site(directory, files, *extra):
    return run("verify", "--public-key", PUBLIC_KEY, "--anchors", str(directory / "anchors"),
               "--seals", str(directory / "orvex_audit.seals"), *extra, *map(str, files))


def test_verify_with_the_seals_finds_everything_intact(rotated):
    directory, counts, _ = rotated
    files = log_files(directory)
    status, out, err = verify_site(directory, files)
    active = directory / LOG_NAME
    lines = text_of(active).count(b"\n")
    unsealed = "%s: %d records and no seal: nothing of this file is sealed\n" % (active, lines) if lines else ""
    assert (status, out, err) == (0, unsealed + "%d records read: %d valid, 0 invalid\n"
                                  % (sum(counts), sum(counts)), "")
    # The recipe's own check: only the active log's records may be unsealed,
    # and the newest seal is recent.
    status, out, err = verify_site(directory, files, "--require-sealed", "--active", LOG_NAME,
                                   "--max-seal-age", "26h")
    allowed = ("%s: %d records and no seal yet: the active log, sealed at its next rotation\n" % (active, lines)
               if lines else "")
    assert (status, out, err) == (0, allowed + "%d records read: %d valid, 0 invalid\n"
                                  % (sum(counts), sum(counts)), "")


@pytest.mark.parametrize("damage", ["delete-line", "truncate", "remove-file"])
def test_verify_with_the_seals_names_what_was_removed(rotated, tmp_path, damage):
    directory, counts, compressed = rotated
    copy = tmp_path / "copy"
    shutil.copytree(directory, copy)
    files = log_files(copy)
    # The active log sorts first, then the rotated files in their order.
    target = files[2]
    seal_line = 2  # the second rotation's seal
    text = text_of(target)
    if damage == "remove-file":
        target.unlink()
        files.remove(target)
        expected = "%s:%d: sealed file %s is not among the inputs\n" % (
            copy / "orvex_audit.seals", seal_line, target.name[:-3] if compressed else target.name)
    else:
        if damage == "delete-line":
            lines = text.split(b"\n")
            changed = b"\n".join(lines[:3] + lines[4:])
        else:
            changed = text[:len(text) // 2]
            changed = changed[:changed.rfind(b"\n") + 1]
        target.write_bytes(gzip.compress(changed) if compressed else changed)
        expected = "%s: sealed part cut short: the file holds %d bytes of the %d sealed at %s:%d\n" % (
            target, len(changed), len(text), copy / "orvex_audit.seals", seal_line)
    status, out, err = verify_site(copy, files)
    assert (status, err) == (1, "")
    assert expected in out.splitlines(keepends=True), out
