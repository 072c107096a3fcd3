"""The installed orvex-audit command: logs written by the guard verify, and
every kind of damage or forgery is reported on its line with its reason.

Logs are written by the module itself under known seeds; expected keys come
from the `cryptography` package, never from the command under test."""

import importlib.metadata
import json
import os
import random
import shutil
import struct
import subprocess
import sys
from pathlib import Path

import pytest
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
from cryptography.hazmat.primitives.serialization import Encoding, PublicFormat

import orvex_core
from conftest import LOG_NAME, RECORD_ORDER, SEED

OTHER_SEED = "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb"
SIGNED_MEMBERS = RECORD_ORDER[:8]
BAD_SIGNATURE = "bad signature: the signed members do not match it"
USAGE = ("usage: orvex-audit pubkey\n"
         "       orvex-audit verify [--public-key HEX]... [--keys FILE]... [--seals SEALFILE [--anchor NAME=HEX]...\n"
         "                          [--anchors FILE]... [--require-sealed] [--active LOG]... [--max-seal-age DURATION]]\n"
         "                          [--max-line-bytes N] [-j N] [--format text|json] [--] [FILE ...]\n"
         "       orvex-audit seal-init --key-file KEYFILE [--chain NAME]\n"
         "       orvex-audit seal (--key-file KEYFILE | --records-key) --seals SEALFILE [--] LOGFILE...\n"
         "       orvex-audit --help | --version\n")
SEVERAL_KEYS = ("%s keys signed valid records and none is pinned: "
                "pin the trusted ones with --public-key HEX or --keys FILE\n")
# On standard error whenever no key is pinned and at most one key signed.
NOTHING_PINNED = ("orvex-audit: note: no key is pinned, so a record signed by any key passes; "
                  "pin the trusted key with --public-key HEX\n")


def installed_command():
    """The command installed beside this interpreter, else the one on PATH."""
    beside = Path(sys.executable).parent / "orvex-audit"
    if beside.exists():
        return str(beside)
    found = shutil.which("orvex-audit")
    assert found, "orvex-audit is not installed: run `make install`"
    return found


COMMAND = installed_command()


def public_key_of(seed_hex):
    key = Ed25519PrivateKey.from_private_bytes(bytes.fromhex(seed_hex)).public_key()
    return key.public_bytes(Encoding.Raw, PublicFormat.Raw).hex()


PUBLIC_KEY = public_key_of(SEED)
OTHER_PUBLIC_KEY = public_key_of(OTHER_SEED)


def run(*arguments, stdin=b"", cwd=None, env=None):
    """(exit status, standard output, standard error) of one run."""
    done = subprocess.run([COMMAND, *arguments], input=stdin, capture_output=True, cwd=cwd, env=env,
                          timeout=120)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def summary(read, valid, keys=()):
    text = "%d records read: %d valid, %d invalid\n" % (read, valid, read - valid)
    return text + "".join("key %s: %d valid records\n" % key for key in keys)


def random_floats(count):
    """Doubles from random bits: shortest texts that a re-reading and
    re-writing verifier would not always reproduce byte for byte."""
    rng = random.Random(4)
    floats = []
    while len(floats) < count:
        value = struct.unpack("<d", rng.getrandbits(64).to_bytes(8, "little"))[0]
        if value == value and abs(value) != float("inf"):
            floats.append(value)
    return floats


def write_log(directory, monkeypatch, seed=SEED, count=12):
    """Lets the guard decide `count` actions in `directory`; returns the log's lines."""
    monkeypatch.setenv("ORVEX_SEED", seed)
    monkeypatch.chdir(directory)
    intent = json.dumps({"id": "intent-\u00e9\"\\", "objective": "line\nfeed\ttab\u0001",
                         "mode": "strict", "version": "1.2",
                         "constraints": [{"attribute": "amount", "operator": "<=", "value": 100,
                                          "priority": 0}]})
    floats = random_floats(8 * count)
    for n in range(count):
        params = {"amount": [50, 150, 0.1, -0.0, 5e-324, 1e16][n % 6], "vendor": "v\u2028\u00a0%d" % n,
                  "f": floats[8 * n:8 * n + 8], "meta": {"z": None, "a": [True, False, {}]}}
        try:
            orvex_core.validate_intent_json(intent, json.dumps({"params": params}), '{"values":{}}')
        except ValueError:
            pass
    return (directory / LOG_NAME).read_bytes().decode("utf-8").split("\n")[:-1]


@pytest.fixture
def log(tmp_path, monkeypatch):
    lines = write_log(tmp_path, monkeypatch)
    return tmp_path / LOG_NAME, lines


def member_spans(line):
    """(start, end) of each member's raw value in a compact record line."""
    decoder = json.JSONDecoder()
    spans, at = {}, 1
    while line[at - 1] != "}":
        key, at = decoder.raw_decode(line, at)
        _, end = decoder.raw_decode(line, at + 1)
        spans[key] = (at + 1, end)
        at = end + 1
    return spans


def with_value(line, member, raw):
    start, end = member_spans(line)[member]
    return line[:start] + raw + line[end:]


def write_lines(path, lines, end="\n"):
    path.write_bytes("".join(line + end for line in lines).encode("utf-8"))


# --- Authentic logs ----------------------------------------------------------


def test_authentic_log_passes_and_lists_its_key(log):
    path, lines = log
    assert run("verify", str(path)) == (0, summary(len(lines), len(lines), [(PUBLIC_KEY, len(lines))]),
                                        NOTHING_PINNED)


@pytest.mark.parametrize("pinned", [PUBLIC_KEY, PUBLIC_KEY.upper()], ids=["lower", "upper"])
def test_authentic_log_passes_pinned(log, pinned):
    path, lines = log
    assert run("verify", "--public-key", pinned, str(path)) == (0, summary(len(lines), len(lines)), "")
    assert run("verify", "--public-key=" + pinned, str(path)) == (0, summary(len(lines), len(lines)), "")


def test_standard_input_when_no_file(log):
    path, lines = log
    assert run("verify", stdin=path.read_bytes()) == \
        (0, summary(len(lines), len(lines), [(PUBLIC_KEY, len(lines))]), NOTHING_PINNED)
    assert run("verify", "-", stdin=path.read_bytes())[0] == 0


def test_empty_log_is_valid(tmp_path):
    (tmp_path / "empty.log").write_bytes(b"")
    assert run("verify", str(tmp_path / "empty.log")) == (0, summary(0, 0), NOTHING_PINNED)


def test_several_files_count_lines_each(log, tmp_path, monkeypatch):
    path, lines = log
    (tmp_path / "later").mkdir()
    later = write_log(tmp_path / "later", monkeypatch, count=2)
    second = tmp_path / "second.log"
    write_lines(second, [later[0], "", later[1]])
    status, out, err = run("verify", str(path), str(second))
    total = len(lines) + 3
    assert (status, err) == (1, NOTHING_PINNED)
    assert out == ("%s:2: not JSON: EOF while parsing a value at column 0\n" % second +
                   summary(total, total - 1, [(PUBLIC_KEY, total - 1)]))


# --- Tampering -------------------------------------------------------------


def finite_float(text):
    """A JSON number as the guard reads it: one that overflows is refused."""
    value = float(text)
    if value in (float("inf"), float("-inf")):
        raise ValueError("number out of range")
    return value


def test_flipping_any_byte_of_a_signed_member_fails(log, tmp_path):
    _, lines = log
    line = lines[1]
    spans = member_spans(line)
    positions = sorted(at for member in SIGNED_MEMBERS for at in range(*spans[member]))
    tampered = [line[:at] + chr(ord(line[at]) ^ 1) + line[at + 1:] for at in positions]
    path = tmp_path / "tampered.log"
    write_lines(path, tampered)
    status, out, _ = run("verify", str(path))
    reports = out.splitlines()
    assert status == 1 and reports[-1] == summary(len(tampered), 0).strip()
    assert [r.split(":")[1] for r in reports[:-1]] == [str(n + 1) for n in range(len(tampered))]
    still_json = 0
    for n, text in enumerate(tampered):
        try:
            keys = list(json.loads(text, object_pairs_hook=lambda pairs: [k for k, _ in pairs],
                                   parse_float=finite_float))
        except ValueError:
            continue
        if keys == RECORD_ORDER:
            still_json += 1
            assert reports[n] == "%s:%d: %s" % (path, n + 1, BAD_SIGNATURE)
    assert still_json > len(tampered) // 2


def test_swapped_signatures_fail_both(log, tmp_path):
    _, lines = log
    first, second = (member_spans(line)["signature"] for line in lines[:2])
    swapped = [with_value(lines[0], "signature", lines[1][slice(*second)]),
               with_value(lines[1], "signature", lines[0][slice(*first)])] + lines[2:]
    path = tmp_path / "swapped.log"
    write_lines(path, swapped)
    assert run("verify", str(path)) == (1, "%s:1: %s\n%s:2: %s\n" % (path, BAD_SIGNATURE, path, BAD_SIGNATURE) +
                                        summary(len(lines), len(lines) - 2, [(PUBLIC_KEY, len(lines) - 2)]), NOTHING_PINNED)


def test_record_in_the_signed_order_fails(log, tmp_path):
    """Moving members into the signed text's order breaks the record's shape."""
    _, lines = log
    record = json.loads(lines[0])
    path = tmp_path / "reordered.log"
    write_lines(path, [json.dumps({k: record[k] for k in sorted(RECORD_ORDER)}, separators=(",", ":"),
                                  ensure_ascii=False)])
    assert run("verify", str(path))[1].splitlines()[0] == \
        '%s:1: member 1 is "action_params" where "timestamp" belongs' % path


# --- Foreign keys ----------------------------------------------------------


def test_record_signed_under_another_seed(tmp_path, monkeypatch):
    lines = write_log(tmp_path, monkeypatch, count=3)
    lines += write_log(tmp_path, monkeypatch, seed=OTHER_SEED, count=2)[3:]
    path = tmp_path / LOG_NAME
    # Unpinned, the forger's record is consistent with itself, but two keys
    # fail the run: only the operator can tell which one is trusted.
    assert run("verify", str(path)) == (1, summary(5, 5, [(PUBLIC_KEY, 3), (OTHER_PUBLIC_KEY, 2)]) +
                                        SEVERAL_KEYS % 2, "")
    foreign = "%s:%d: signed by a foreign key %s\n"
    assert run("verify", "--public-key", PUBLIC_KEY, str(path)) == \
        (1, foreign % (path, 4, OTHER_PUBLIC_KEY) + foreign % (path, 5, OTHER_PUBLIC_KEY) + summary(5, 3), "")


def test_key_replaced_in_the_line(log, tmp_path):
    """A line that claims another key is refused pinned, and fails its signature unpinned."""
    _, lines = log
    path = tmp_path / "claimed.log"
    write_lines(path, [with_value(lines[0], "public_key", '"%s"' % OTHER_PUBLIC_KEY)])
    assert run("verify", str(path))[1] == "%s:1: %s\n%s" % (path, BAD_SIGNATURE, summary(1, 0))
    assert run("verify", "--public-key", PUBLIC_KEY, str(path))[1] == \
        "%s:1: signed by a foreign key %s\n%s" % (path, OTHER_PUBLIC_KEY, summary(1, 0))


# --- Damaged lines -----------------------------------------------------------


def test_truncated_last_line(log, tmp_path):
    path, lines = log
    data = path.read_bytes()
    for cut in (1, 40):  # only the line feed; part of the record too
        torn = tmp_path / ("torn-%d.log" % cut)
        torn.write_bytes(data[:-cut])
        assert run("verify", str(torn)) == (1, "%s:%d: torn line: the log ends without a line feed\n%s" % (
            torn, len(lines), summary(len(lines), len(lines) - 1, [(PUBLIC_KEY, len(lines) - 1)])), NOTHING_PINNED)


def test_raw_carriage_return(log, tmp_path):
    _, lines = log
    crlf = tmp_path / "crlf.log"
    write_lines(crlf, lines[:2], end="\r\n")
    assert run("verify", str(crlf))[1] == "".join(
        "%s:%d: raw carriage return at column %d\n" % (crlf, n + 1, len(lines[n].encode()) + 1)
        for n in range(2)) + summary(2, 0)
    # Between members a carriage return is JSON whitespace, yet no writer puts it there.
    inside = tmp_path / "inside.log"
    write_lines(inside, [lines[0].replace(',"mode":', ',\r"mode":')])
    column = len(lines[0].encode().split(b',"mode":')[0]) + 2
    assert run("verify", str(inside))[1] == "%s:1: raw carriage return at column %d\n%s" % (
        inside, column, summary(1, 0))


def first_line_report(line_text, tmp_path):
    path = tmp_path / "one.log"
    path.write_bytes(line_text.encode("utf-8", "surrogateescape") + b"\n")
    status, out, err = run("verify", "--public-key", PUBLIC_KEY, str(path))
    assert (status, err) == (1, "")
    report, rest = out.split("\n", 1)
    assert rest == summary(1, 0)
    prefix = "%s:1: " % path
    assert report.startswith(prefix)
    return report[len(prefix):]


def width(text):
    return len(text.encode("utf-8"))


def column_in_strict(line):
    """The column of the "i" of the mode "strict", where the changes below land."""
    return width(line[:line.index('"strict"')]) + len('"stri')


# (name, how the authentic first line is changed, the exact reason for the original line)
SHAPES = [
    ("empty", lambda l: "", lambda l: "not JSON: EOF while parsing a value at column 0"),
    ("array", lambda l: "[" + l + "]", lambda l: "not a JSON object"),
    ("string", lambda l: '"record"', lambda l: "not a JSON object"),
    ("empty-object", lambda l: "{}", lambda l: 'missing member "timestamp"'),
    ("garbage-after", lambda l: l + "x", lambda l: "not JSON: trailing characters at column %d" % (width(l) + 1)),
    ("cut", lambda l: l[:-1], lambda l: "not JSON: EOF while parsing an object at column %d" % (width(l) - 1)),
    ("control-in-string", lambda l: l.replace("strict", "str\tct", 1),
     lambda l: "not JSON: control character (\\u0000-\\u001F) found while parsing a string at column %d"
     % column_in_strict(l)),
    ("not-utf8", lambda l: l.replace("strict", "str\udcffct", 1),
     lambda l: "not UTF-8 at column %d" % column_in_strict(l)),
    ("leading-space", lambda l: " " + l,
     lambda l: "whitespace between members at column 1: records are compact"),
    ("space-after-brace", lambda l: "{ " + l[1:],
     lambda l: "whitespace between members at column 2: records are compact"),
    ("python-spacing", lambda l: json.dumps(json.loads(l), ensure_ascii=False),
     lambda l: "whitespace between members at column %d: records are compact" % (len('{"timestamp":') + 1)),
    ("trailing-space", lambda l: l + " ",
     lambda l: "whitespace between members at column %d: records are compact" % (width(l) + 1)),
    ("swapped", lambda l: l.replace('"objective":', '"objectivX":', 1).replace('"mode":', '"objective":', 1)
     .replace('"objectivX":', '"mode":', 1), lambda l: 'member 3 is "mode" where "objective" belongs'),
    ("escaped-key", lambda l: l.replace('"timestamp"', '"time\\u0073tamp"', 1),
     lambda l: 'member 1 is "time\\u0073tamp" where "timestamp" belongs'),
    ("no-signature", lambda l: l[:l.index(',"signature"')] + "}", lambda l: 'missing member "signature"'),
    ("no-reason", lambda l: l[:l.index(',"reason"')] + "}", lambda l: 'missing member "reason"'),
    ("extra", lambda l: l[:-1] + ',"extra":1}', lambda l: 'extra member "extra" after "signature"'),
    ("upper-hex", lambda l: with_value(l, "signature", json.dumps(json.loads(l)["signature"].upper())),
     lambda l: '"signature" is not 128 lowercase hexadecimal digits'),
    ("short-signature", lambda l: with_value(l, "signature", json.dumps(json.loads(l)["signature"][2:])),
     lambda l: '"signature" is not 128 lowercase hexadecimal digits'),
    ("key-not-string", lambda l: with_value(l, "public_key", "1"),
     lambda l: '"public_key" is not 64 lowercase hexadecimal digits'),
    ("key-escaped", lambda l: with_value(l, "public_key", '"\\u0064' + json.loads(l)["public_key"][1:] + '"'),
     lambda l: '"public_key" is not 64 lowercase hexadecimal digits'),
]


@pytest.mark.parametrize("change, expected", [s[1:] for s in SHAPES], ids=[s[0] for s in SHAPES])
def test_line_shapes(log, tmp_path, change, expected):
    _, lines = log
    assert first_line_report(change(lines[0]), tmp_path) == expected(lines[0])


# --- Command line, exit statuses -------------------------------------------


def test_help_reads_like_a_manual():
    for arguments in (["--help"], ["-h"], ["verify", "--help"], ["pubkey", "-h"]):
        status, out, err = run(*arguments)
        assert (status, err) == (0, "")
        headings = [line for line in out.splitlines() if line and not line.startswith(" ")]
        assert headings == ["NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "OPTIONS", "OUTPUT", "EXIT STATUS",
                            "ENVIRONMENT", "EXAMPLES"]
        assert "orvex-audit verify [--public-key HEX]... [--keys FILE]... [--seals SEALFILE" in out
        assert "orvex-audit seal --key-file KEYFILE --seals SEALFILE [--] LOGFILE..." in out
        assert "orvex-audit seal-init --key-file KEYFILE [--chain NAME]" in out


@pytest.mark.parametrize("arguments, message", [
    ([], "missing command"),
    (["check"], 'unknown command "check"'),
    (["verify", "--pin"], 'unknown option "--pin"'),
    (["verify", "--public-key"], "--public-key needs a value"),
    (["verify", "--public-key", "abc"], '--public-key needs 64 hexadecimal digits, got "abc"'),
    (["verify", "--public-key", "g" * 64], '--public-key needs 64 hexadecimal digits, got "%s"' % ("g" * 64)),
    (["verify", "--keys"], "--keys needs a value"),
    (["pubkey", "extra"], "pubkey takes no arguments"),
    (["pubkey", "extra", "--help"], "pubkey takes no arguments"),
    # Help only as the command or its first option: elsewhere it would turn
    # a check into a success without checking anything.
    (["verify", "--public-key", PUBLIC_KEY, "bad.log", "-h"], 'unknown option "-h"'),
    (["verify", "bad.log", "--help"], 'unknown option "--help"'),
    (["verify", "--public-key", PUBLIC_KEY, "--version"], 'unknown option "--version"'),
    (["check", "--help"], 'unknown command "check"'),
])
def test_usage_errors(arguments, message):
    assert run(*arguments) == (2, "", "orvex-audit: %s\n%s" % (message, USAGE))


def test_input_errors_exit_2_and_the_rest_is_checked(log, tmp_path):
    path, lines = log
    missing = tmp_path / "missing.log"
    status, out, err = run("verify", str(missing), str(tmp_path), str(path))
    assert status == 2
    assert err == ("orvex-audit: %s: No such file or directory\norvex-audit: %s: is a directory, not a log file\n"
                   % (missing, tmp_path) + NOTHING_PINNED)
    assert out == summary(len(lines), len(lines), [(PUBLIC_KEY, len(lines))])


def test_double_dash_ends_options(log, tmp_path, monkeypatch):
    path, lines = log
    monkeypatch.chdir(path.parent)
    for name in ("--help", "-h"):
        (path.parent / name).write_bytes(path.read_bytes())
        assert run("verify", "--public-key", PUBLIC_KEY, "--", name) == (0, summary(len(lines), len(lines)), "")
        assert run("verify", "--", name)[:2] == (0, summary(len(lines), len(lines), [(PUBLIC_KEY, len(lines))]))


def test_a_file_named_like_help_is_checked_not_obeyed(tmp_path):
    """A damaged file named "-h" fails, and so does one named "--help"."""
    (tmp_path / "-h").write_bytes(b"damaged\n")
    status, out, _ = run("verify", "--public-key", PUBLIC_KEY, "--", "-h", cwd=tmp_path)
    assert (status, out) == (1, "-h:1: not JSON: expected value at column 1\n" + summary(1, 0))


def test_version_is_the_installed_package_version():
    version = importlib.metadata.version("orvex-core")
    for arguments in (["--version"], ["verify", "--version"], ["pubkey", "--version"]):
        assert run(*arguments) == (0, "orvex-audit %s\n" % version, "")


def test_a_missing_input_alone_prints_no_summary(tmp_path):
    """"0 records read" would read like the check of an empty log."""
    missing = tmp_path / "missing.log"
    for pinned in ([], ["--public-key", PUBLIC_KEY]):
        assert run("verify", *pinned, str(missing)) == \
            (2, "", "orvex-audit: %s: No such file or directory\n" % missing)
    assert run("verify", str(missing), str(tmp_path)) == \
        (2, "", "orvex-audit: %s: No such file or directory\norvex-audit: %s: is a directory, not a log file\n"
               % (missing, tmp_path))


# --- pubkey ----------------------------------------------------------------


def test_pubkey_is_the_key_cryptography_derives():
    for seed in (SEED, OTHER_SEED, os.urandom(32).hex(), " " + SEED.upper() + "\n"):
        env = dict(os.environ, ORVEX_SEED=seed)
        assert run("pubkey", env=env) == (0, public_key_of(seed.strip()) + "\n", "")


@pytest.mark.parametrize("seed, expected", [
    (None, "Veltrane requires ORVEX_SEED for integrity.: NotPresent"),
    (SEED[:63], "Invalid ORVEX_SEED; expected hex string.: OddLength"),
    ("0x" + SEED[:62], "Invalid ORVEX_SEED; expected hex string.: InvalidHexCharacter { c: 'x', index: 1 }"),
    (SEED[:62], "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())"),
    ("", "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())"),
    (b"ab\xff", "Veltrane requires ORVEX_SEED for integrity.: NotUnicode(3 bytes, not UTF-8 at byte 2)"),
], ids=["unset", "odd", "prefix", "short", "empty", "not-utf8"])
def test_pubkey_seed_failures_match_the_guard(seed, expected):
    env = {k: v for k, v in os.environb.items() if k != b"ORVEX_SEED"}
    if seed is not None:
        env[b"ORVEX_SEED"] = seed if isinstance(seed, bytes) else seed.encode()
    assert run("pubkey", env=env) == (2, "", "orvex-audit: %s\n" % expected)


def test_pinning_the_printed_key_verifies_the_guards_log(log):
    path, lines = log
    _, printed, _ = run("pubkey", env=dict(os.environ, ORVEX_SEED=SEED))
    assert run("verify", "--public-key", printed.strip(), str(path)) == (0, summary(len(lines), len(lines)), "")
