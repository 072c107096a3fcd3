"""orvex-audit seal: one signed seal line per log file, chained, checked here
with the `cryptography` package and hashlib, never with the command's own
reader; gzip input read transparently; every bad input refused whole."""

import gzip
import hashlib
import json
import os
import subprocess
import sys
from pathlib import Path

import pytest
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PublicKey

from test_orvex_audit import (COMMAND, OTHER_SEED, PUBLIC_KEY, SEED, LOG_NAME, OTHER_PUBLIC_KEY, run,
                              write_log)

SEAL_ORDER = ["seal", "file", "bytes", "lines", "sha256", "first", "last", "sealed_at", "previous",
              "public_key", "signature"]
CHAIN_SEAL_ORDER = ["seal", "chain", "sequence", "file", "bytes", "lines", "sha256", "first", "last", "sealed_at",
                    "previous", "public_key", "next_key", "signature"]


def seal_env(seed=SEED):
    return dict(os.environ, ORVEX_SEED=seed)


def read_seals(path):
    """The seal lines, each checked here: member order, compact form, signature."""
    raw = path.read_bytes()
    assert raw == b"" or raw.endswith(b"\n")
    seals = []
    for line in raw.decode("utf-8").split("\n")[:-1]:
        seal = json.loads(line)
        assert list(seal) == (CHAIN_SEAL_ORDER if seal["seal"] == 2 else SEAL_ORDER)
        assert json.dumps(seal, separators=(",", ":"), ensure_ascii=False) == line
        signed = {key: seal[key] for key in sorted(seal) if key != "signature"}
        text = json.dumps(signed, separators=(",", ":"), ensure_ascii=False).encode("utf-8")
        Ed25519PublicKey.from_public_bytes(bytes.fromhex(seal["public_key"])).verify(
            bytes.fromhex(seal["signature"]), text)
        seals.append(seal)
    return seals


def expected_summary(text):
    """bytes, lines, sha256, first and last record timestamps of a log's whole lines."""
    whole = text[:text.rfind(b"\n") + 1]
    stamps = [json.loads(line)["timestamp"] for line in whole.split(b"\n")[:-1]
              if line.startswith(b'{"timestamp":"')]
    return (len(whole), whole.count(b"\n"), hashlib.sha256(whole).hexdigest(),
            stamps[0] if stamps else None, stamps[-1] if stamps else None)


def summary_of(seal):
    return seal["bytes"], seal["lines"], seal["sha256"], seal["first"], seal["last"]


def check_chain(seals):
    """Each seal names the one before; a chain seal is also signed by the key
    that the seal before named, with the next sequence number."""
    assert seals[0]["previous"] is None
    for before, after in zip(seals, seals[1:]):
        assert after["previous"] == before["signature"]
        if after["seal"] == 2:
            assert (after["public_key"], after["sequence"]) == (before["next_key"], before["sequence"] + 1)


@pytest.fixture
def logs(tmp_path, monkeypatch):
    """Two logs written by the guard: one whole, one ending in a torn record."""
    lines = write_log(tmp_path, monkeypatch, count=5)
    first = tmp_path / "first.log"
    (tmp_path / LOG_NAME).rename(first)
    write_log(tmp_path, monkeypatch, count=4)
    second = tmp_path / "second.log"
    (tmp_path / LOG_NAME).rename(second)
    with open(second, "ab") as torn:
        torn.write(lines[0].encode("utf-8")[:50])
    return first, second


def test_seals_each_file_in_a_chain(logs, tmp_path):
    first, second = logs
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), str(first), str(second), env=seal_env()) == (0, "", "")
    seals = read_seals(seals_path)
    assert [s["file"] for s in seals] == ["first.log", "second.log"]
    assert [summary_of(s) for s in seals] == [expected_summary(first.read_bytes()),
                                             expected_summary(second.read_bytes())]
    assert seals[1]["lines"] == 4  # the torn record is not sealed
    assert all(s["public_key"] == PUBLIC_KEY and s["seal"] == 1 for s in seals)
    check_chain(seals)


def test_appends_never_truncates_and_the_chain_goes_on(logs, tmp_path):
    first, second = logs
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), str(first), env=seal_env())[0] == 0
    before = seals_path.read_bytes()
    # A later seal under another key still names its predecessor.
    assert run("seal", "--records-key", "--seals=" + str(seals_path), str(second), env=seal_env(OTHER_SEED))[0] == 0
    assert seals_path.read_bytes().startswith(before)
    seals = read_seals(seals_path)
    assert [s["public_key"] for s in seals] == [PUBLIC_KEY, OTHER_PUBLIC_KEY]
    check_chain(seals)


def test_sealing_the_active_log_again_covers_the_longer_prefix(tmp_path, monkeypatch):
    write_log(tmp_path, monkeypatch, count=3)
    active = tmp_path / LOG_NAME
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), str(active), env=seal_env())[0] == 0
    write_log(tmp_path, monkeypatch, count=2)
    assert run("seal", "--records-key", "--seals", str(seals_path), str(active), env=seal_env())[0] == 0
    seals = read_seals(seals_path)
    assert [s["lines"] for s in seals] == [3, 5]
    assert summary_of(seals[1]) == expected_summary(active.read_bytes())
    assert seals[0]["first"] == seals[1]["first"] and seals[0]["last"] < seals[1]["last"]
    check_chain(seals)


def test_empty_log_is_sealed_with_no_timestamps(tmp_path):
    empty = tmp_path / "empty.log"
    empty.write_bytes(b"")
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), str(empty), env=seal_env())[0] == 0
    assert summary_of(read_seals(seals_path)[0]) == (0, 0, hashlib.sha256(b"").hexdigest(), None, None)


def test_gzip_is_sealed_as_its_text(logs, tmp_path):
    first, _ = logs
    text = first.read_bytes()
    packed = tmp_path / "first.log.gz"
    packed.write_bytes(gzip.compress(text))
    # Two members back to back are one gzip file, as gzip itself reads it.
    double = tmp_path / "double.gz"
    double.write_bytes(gzip.compress(text[:100]) + gzip.compress(text[100:]))
    # The name does not decide: the first bytes do.
    plain_named_gz = tmp_path / "plain.gz"
    plain_named_gz.write_bytes(text)
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), str(packed), str(double), str(plain_named_gz),
               env=seal_env()) == (0, "", "")
    seals = read_seals(seals_path)
    assert [s["file"] for s in seals] == ["first.log.gz", "double.gz", "plain.gz"]
    assert all(summary_of(s) == expected_summary(text) for s in seals)


def gzip_damage_cases(text):
    packed = gzip.compress(text)
    flipped = bytearray(packed)
    flipped[len(packed) // 2] ^= 0xFF
    bad_crc = bytearray(packed)
    bad_crc[-6] ^= 0x01
    return {
        "truncated": (packed[:len(packed) // 2], "gzip stream truncated after"),
        "header only": (packed[:10], "gzip stream truncated after 0 bytes of text"),
        "magic only": (packed[:2], "gzip stream truncated after 0 bytes of text"),
        "corrupt": (bytes(flipped), "corrupt gzip stream after"),
        "bad check": (bytes(bad_crc), "corrupt gzip stream after %d bytes of text: incorrect data check" % len(text)),
        "trailing": (packed + b"garbage!", "data that is not gzip after the compressed stream"),
    }


@pytest.mark.parametrize("case", ["truncated", "header only", "magic only", "corrupt", "bad check", "trailing"])
def test_damaged_gzip_is_refused_and_named(logs, tmp_path, case):
    first, _ = logs
    data, message = gzip_damage_cases(first.read_bytes())[case]
    damaged = tmp_path / "damaged.gz"
    damaged.write_bytes(data)
    seals_path = tmp_path / "audit.seals"
    status, out, err = run("seal", "--records-key", "--seals", str(seals_path), str(damaged), str(first), env=seal_env())
    assert (status, out) == (2, "")
    assert err.startswith("orvex-audit: %s: %s" % (damaged, message)) and err.count("\n") == 1, err
    # The other file is still sealed, and starts the chain.
    seals = read_seals(seals_path)
    assert [s["file"] for s in seals] == ["first.log"]
    check_chain(seals)


def test_inputs_that_cannot_be_sealed(logs, tmp_path):
    first, _ = logs
    seals_path = tmp_path / "audit.seals"
    missing = tmp_path / "missing.log"
    status, out, err = run("seal", "--records-key", "--seals", str(seals_path), str(tmp_path), str(missing), str(first),
                           env=seal_env())
    assert (status, out) == (2, "")
    assert err == ("orvex-audit: %s: is a directory, not a log file\n"
                   "orvex-audit: %s: No such file or directory\n" % (tmp_path, missing))
    assert [s["file"] for s in read_seals(seals_path)] == ["first.log"]


def test_name_that_is_not_utf8(tmp_path):
    name = os.fsencode(str(tmp_path)) + b"/bad\xff.log"
    with open(name, "wb") as bad:
        bad.write(b"")
    done = subprocess.run([COMMAND, "seal", "--records-key", "--seals", str(tmp_path / "s"), name], capture_output=True,
                          env=seal_env(), timeout=60)
    assert done.returncode == 2
    assert done.stderr.endswith(b"bad\xff.log: the file's name is not UTF-8 and cannot be sealed\n")


@pytest.mark.parametrize("seed, expected", [
    (None, "Veltrane requires ORVEX_SEED for integrity.: NotPresent"),
    (SEED[:63], "Invalid ORVEX_SEED; expected hex string.: OddLength"),
    (SEED[:62], "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())"),
], ids=["unset", "odd", "short"])
def test_seed_failures_are_pubkeys_and_touch_nothing(logs, tmp_path, seed, expected):
    first, _ = logs
    env = {k: v for k, v in os.environ.items() if k != "ORVEX_SEED"}
    if seed is not None:
        env["ORVEX_SEED"] = seed
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), str(first), env=env) == (2, "", "orvex-audit: %s\n" % expected)
    assert run("pubkey", env=env) == (2, "", "orvex-audit: %s\n" % expected)
    assert not seals_path.exists()


@pytest.mark.parametrize("arguments, message", [
    (["seal"], "seal needs --seals SEALFILE"),
    (["seal", "x.log"], "seal needs --seals SEALFILE"),
    (["seal", "--seals"], "--seals needs a value"),
    (["seal", "--seals="], "--seals needs a value"),
    (["seal", "--seals", "s"], "seal needs at least one LOGFILE"),
    (["seal", "--seals", "s", "--seals", "t", "x.log"], "--seals given more than once"),
    (["seal", "--seals", "s", "-"], "seal needs files by name, not standard input"),
    (["seal", "--seals", "s", "--sealz", "x.log"], 'unknown option "--sealz"'),
])
def test_usage_errors(tmp_path, arguments, message):
    status, out, err = run(*arguments, cwd=tmp_path, env=seal_env())
    assert (status, out) == (2, "")
    assert err.startswith("orvex-audit: %s\n" % message), err
    assert os.listdir(tmp_path) == []


def test_double_dash_ends_the_options(tmp_path):
    odd = tmp_path / "--seals"
    odd.write_bytes(b"")
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), "--", "--seals", cwd=tmp_path, env=seal_env())[0] == 0
    assert [s["file"] for s in read_seals(seals_path)] == ["--seals"]


@pytest.mark.parametrize("damage, reason", [
    (b"not a seal\n", "2: not a seal: not JSON: expected ident at column 2"),
    (b'{"seal":1}\n', '2: not a seal: missing member "file"'),
    (b"", None),  # the torn line is made below
])
def test_seal_file_that_is_not_ours_gets_nothing_appended(logs, tmp_path, damage, reason):
    first, _ = logs
    seals_path = tmp_path / "audit.seals"
    assert run("seal", "--records-key", "--seals", str(seals_path), str(first), env=seal_env())[0] == 0
    if damage:
        with open(seals_path, "ab") as seals:
            seals.write(damage)
    else:
        seals_path.write_bytes(seals_path.read_bytes()[:-1])
        reason = "1: not a seal: the seal file ends without a line feed"
    before = seals_path.read_bytes()
    assert run("seal", "--records-key", "--seals", str(seals_path), str(first), env=seal_env()) == (
        2, "", "orvex-audit: %s:%s; no seal was added\n" % (seals_path, reason))
    assert seals_path.read_bytes() == before


def test_concurrent_sealers_make_one_chain(logs, tmp_path):
    first, second = logs
    seals_path = tmp_path / "audit.seals"
    sealers = [subprocess.Popen([COMMAND, "seal", "--records-key", "--seals", str(seals_path), str(first), str(second)],
                                env=seal_env()) for _ in range(8)]
    assert [sealer.wait(timeout=60) for sealer in sealers] == [0] * 8
    seals = read_seals(seals_path)
    assert len(seals) == 16
    check_chain(seals)


def test_the_readme_table_lists_the_members_in_their_order(logs, tmp_path):
    from test_doc_tables import README, code, markdown_table
    table = markdown_table(README, ["#", "seal member", "content"])
    assert [int(row[0]) for row in table] == list(range(1, len(CHAIN_SEAL_ORDER) + 1))
    assert [code(row[1]) for row in table] == CHAIN_SEAL_ORDER
    first, _ = logs
    seals_path = tmp_path / "audit.seals"
    assert run("seal-init", "--key-file", str(tmp_path / "k"), "--chain", "c")[0] == 0
    assert run("seal", "--key-file", str(tmp_path / "k"), "--seals", str(seals_path), str(first))[0] == 0
    assert list(read_seals(seals_path)[0]) == [code(row[1]) for row in table]
