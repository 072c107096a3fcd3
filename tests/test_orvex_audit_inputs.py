"""What orvex-audit does with inputs an intruder can shape: a keys file that
pins nothing, a file that is no regular file (a FIFO, a socket, a device),
a sealed day moved into another file, a file name that holds control bytes,
and a line far longer than any record. Each is refused or reported, never
trusted, never waited on and never held in memory whole."""

import json
import os
import resource
import socket
import subprocess
import zlib

import pytest

from test_orvex_audit import COMMAND, LOG_NAME, PUBLIC_KEY, USAGE, run, summary, write_log
from test_orvex_audit_seals import seal_env
from test_orvex_audit_verify_seals import Site

# A run that would block on a file must fail the test, not hang it.
PROMPT = 20


def quick(*arguments, env=None, stdin=b""):
    """(status, out, err) of a run that must end within PROMPT seconds."""
    try:
        done = subprocess.run([COMMAND, *arguments], input=stdin, capture_output=True, env=env, timeout=PROMPT)
    except subprocess.TimeoutExpired:
        pytest.fail("orvex-audit %s blocked" % " ".join(map(str, arguments)))
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


# --- A keys file that holds no key ---------------------------------------------


@pytest.mark.parametrize("text", ["", "\n\n", "# retired 2026-03\n#%s\n" % PUBLIC_KEY, "   \t\r\n# only\n"],
                         ids=["empty", "blank", "comments", "blanks-and-comment"])
def test_a_keys_file_without_a_key_is_a_usage_error(tmp_path, monkeypatch, text):
    write_log(tmp_path, monkeypatch, count=2)
    keys = tmp_path / "trusted.keys"
    keys.write_text(text)
    expected = (2, "", "orvex-audit: --keys %s: holds no key, so it would pin nothing\n%s" % (keys, USAGE))
    assert quick("verify", "--keys", str(keys), str(tmp_path / LOG_NAME)) == expected
    # Beside a pinned key it is still an error: the operator meant it to pin.
    assert quick("verify", "--public-key", PUBLIC_KEY, "--keys", str(keys), str(tmp_path / LOG_NAME)) == expected


# --- Files that are not regular files ---------------------------------------------


def special_file(directory, kind):
    """A file of `kind` in `directory`, and what a refusal calls it."""
    if kind == "fifo":
        path = directory / "orvex_audit.log-20261201"
        os.mkfifo(path)
        return path, "%s: is a FIFO, not a regular file" % path
    if kind == "socket":
        path = directory / "orvex_audit.log-20261202"
        listener = socket.socket(socket.AF_UNIX)
        listener.bind(str(path))
        directory.joinpath(".keep").write_text("")  # the socket file outlives the object
        listener.close()
        return path, "%s: is a socket, not a regular file" % path
    return "/dev/zero", "/dev/zero: is a character device, not a regular file"


KINDS = ["fifo", "socket", "device"]


@pytest.mark.parametrize("kind", KINDS)
def test_verify_refuses_a_special_input_and_checks_the_rest(tmp_path, monkeypatch, kind):
    write_log(tmp_path, monkeypatch, count=3)
    path, refusal = special_file(tmp_path, kind)
    status, out, err = quick("verify", "--public-key", PUBLIC_KEY, str(path), str(tmp_path / LOG_NAME))
    assert (status, out, err) == (2, summary(3, 3), "orvex-audit: %s\n" % refusal)


@pytest.mark.parametrize("kind", KINDS)
def test_a_special_seal_file_or_keys_file_is_refused(tmp_path, monkeypatch, kind):
    write_log(tmp_path, monkeypatch, count=2)
    path, refusal = special_file(tmp_path, kind)
    log = str(tmp_path / LOG_NAME)
    status, out, err = quick("verify", "--public-key", PUBLIC_KEY, "--seals", str(path), log)
    assert (status, err) == (2, "orvex-audit: %s\n" % refusal) and out.endswith(summary(2, 2))
    assert quick("seal", "--seals", str(path), log, env=seal_env()) == (2, "", "orvex-audit: %s\n" % refusal)
    assert quick("verify", "--keys", str(path), log) == (2, "", "orvex-audit: --keys %s\n%s" % (refusal, USAGE))


@pytest.mark.parametrize("kind", KINDS)
def test_seal_refuses_a_special_log_file_and_releases_the_seal_file(tmp_path, monkeypatch, kind):
    write_log(tmp_path, monkeypatch, count=2)
    path, refusal = special_file(tmp_path, kind)
    seals = str(tmp_path / "orvex_audit.seals")
    log = str(tmp_path / LOG_NAME)
    assert quick("seal", "--seals", seals, str(path), log, env=seal_env()) == (2, "", "orvex-audit: %s\n" % refusal)
    # The lock went with the run: the next sealer goes on with the chain.
    assert quick("seal", "--seals", seals, log, env=seal_env()) == (0, "", "")
    assert quick("verify", "--public-key", PUBLIC_KEY, "--seals", seals, log) == (0, summary(2, 2), "")


def test_standard_input_stays_allowed_as_a_pipe(tmp_path, monkeypatch):
    write_log(tmp_path, monkeypatch, count=2)
    text = (tmp_path / LOG_NAME).read_bytes()
    assert quick("verify", "--public-key", PUBLIC_KEY, "-", stdin=text) == (0, summary(2, 2), "")


# --- A sealed day moved into another file -------------------------------------------


def test_a_sealed_file_prepended_to_the_active_log_is_missing(tmp_path, monkeypatch):
    site = Site(tmp_path, monkeypatch)
    day = site.rotated[0]
    # The intruder puts the sealed day in front of the active log's records
    # and removes the day's own file; the next rotation seals the result.
    site.active.write_bytes(day.read_bytes() + site.active.read_bytes())
    day.unlink()
    merged = tmp_path / (LOG_NAME + "-20261204")
    site.active.rename(merged)
    site.seal(merged)
    status, out, err = site.verify(files=site.rotated[1:] + [merged])
    assert (status, out, err) == (
        1, "%s:1: sealed file %s is not among the inputs\n%s" % (site.seals, day.name, summary(14, 14)), "")


# --- File names with control bytes in the text report ----------------------------------


@pytest.mark.parametrize("name, shown", [
    (b"day\n12 records read: 12 valid, 0 invalid\nx", "day\\x0a12 records read: 12 valid, 0 invalid\\x0ax"),
    (b"\x1b[2J\x1b]0;owned\x07", "\\x1b[2J\\x1b]0;owned\\x07"),
    (b"del\x7f-c1\xc2\x9b31m-tab\t", "del\\x7f-c1\\xc2\\x9b31m-tab\\x09"),
    (b"bad-utf8-\xff\xc3(-ok-\xc3\xa9", "bad-utf8-\\xff\\xc3(-ok-\u00e9"),
], ids=["line-feed", "escape", "del-c1-tab", "not-utf8"])
def test_text_report_escapes_control_bytes_in_names(tmp_path, monkeypatch, name, shown):
    lines = write_log(tmp_path, monkeypatch, count=2)
    path = bytes(tmp_path) + b"/" + name
    with open(path, "wb") as log:
        log.write((lines[0] + "\n" + lines[1][:40]).encode("utf-8"))
    done = subprocess.run([COMMAND, "verify", "--public-key", PUBLIC_KEY, path], capture_output=True, timeout=PROMPT)
    assert done.returncode == 1
    assert done.stdout.decode("utf-8") == "%s/%s:2: torn line: the log ends without a line feed\n%s" % (
        tmp_path, shown, summary(2, 1))
    # The JSON report already escapes the name as JSON: it stays as it was.
    done = subprocess.run([COMMAND, "verify", "--format", "json", "--public-key", PUBLIC_KEY, path],
                          capture_output=True, timeout=PROMPT)
    finding = json.loads(done.stdout.decode("utf-8").splitlines()[0])
    assert finding["file"] == path.decode("utf-8", "replace")


# --- Lines longer than the limit -------------------------------------------------------


def endless_line_gzip(path, text_bytes, members=1):
    """A gzip file of `members` members whose text is `text_bytes` bytes of
    "x" without a line feed, compressed in pieces so that it costs little."""
    piece = b"x" * (1 << 20)
    with open(path, "wb") as out:
        for _ in range(members):
            packer = zlib.compressobj(9, zlib.DEFLATED, 31)
            out.write(b"".join(packer.compress(piece) for _ in range(text_bytes // members >> 20)))
            out.write(packer.flush())


def test_a_line_over_the_limit_is_a_finding_with_its_length(tmp_path, monkeypatch):
    lines = write_log(tmp_path, monkeypatch, count=3)
    record = max(len(line.encode("utf-8")) for line in lines)
    plain = tmp_path / "plain.log"
    plain.write_bytes(("%s\n%s\n%s\n%s" % (lines[0], "y" * 5000, lines[1], "z" * 3000)).encode("utf-8"))
    packed = tmp_path / "packed.gz"
    endless_line_gzip(packed, 8 << 20, members=2)
    status, out, err = quick("verify", "--public-key", PUBLIC_KEY, "--max-line-bytes", "2000", str(plain),
                             str(packed))
    over = "%s:%d: line of %d bytes is longer than the limit of 2000 bytes\n"
    assert (status, err) == (1, "")
    assert out == (over % (plain, 2, 5000) + over % (plain, 4, 3000) + over % (packed, 1, 8 << 20) +
                   summary(5, 2))
    assert record < 2000
    # At the limit a line is read as usual.
    assert quick("verify", "--public-key", PUBLIC_KEY, "--max-line-bytes=%d" % record, str(tmp_path / LOG_NAME)) \
        == (0, summary(3, 3), "")


def test_sealed_prefixes_are_checked_across_an_over_long_line(tmp_path, monkeypatch):
    site = Site(tmp_path, monkeypatch)
    target = site.rotated[1]
    target.write_bytes(target.read_bytes() + b"q" * 4000 + b"\n")
    status, out, _ = site.verify("--max-line-bytes", "3000")
    assert status == 1
    assert out == ("%s:5: line of 4000 bytes is longer than the limit of 3000 bytes\n"
                   "%s: 1 records after the sealed part are not sealed\n%s%s"
                   % (target, target, site.unsealed_active(), summary(15, 14)))


def within_memory(data_bytes, *arguments):
    """(status, out, err) of a run whose data (heap and every private
    writable mapping) may not grow past `data_bytes`: past it an allocation
    fails and the run ends with "out of memory", status 2."""
    def limit():
        resource.setrlimit(resource.RLIMIT_DATA, (data_bytes, data_bytes))
    done = subprocess.run([COMMAND, *arguments], capture_output=True, preexec_fn=limit, timeout=120)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def test_the_default_limit_bounds_memory_on_a_gzip_bomb(tmp_path):
    """Half a GiB of text in two gzip members, with no line feed: the run
    reports the line and never holds much more than the default limit."""
    bomb = tmp_path / "bomb.gz"
    endless_line_gzip(bomb, 512 << 20, members=2)
    assert within_memory((128 << 20) + (48 << 20), "verify", "-j", "1", "--public-key", PUBLIC_KEY, str(bomb)) == (
        1, "%s:1: line of %d bytes is longer than the limit of %d bytes\n%s"
        % (bomb, 512 << 20, 128 << 20, summary(1, 0)), "")


@pytest.mark.parametrize("value", ["0", "x", "-5", "1099511627777", ""])
def test_max_line_bytes_needs_a_whole_number_in_range(value):
    status, out, err = quick("verify", "--max-line-bytes", value)
    assert (status, out) == (2, "")
    assert err == 'orvex-audit: --max-line-bytes needs a whole number from 1 to 1099511627776, got "%s"\n%s' % (
        value, USAGE)


def test_a_seal_file_line_of_any_length_is_read_in_bounded_memory(tmp_path, monkeypatch):
    site = Site(tmp_path, monkeypatch)
    with open(site.seals, "ab") as seals:
        for _ in range(64):
            seals.write(b"{" * (1 << 20))
        seals.write(b"\n")
    status, out, err = within_memory(48 << 20, "verify", "-j", "1", "--public-key", PUBLIC_KEY, "--seals",
                                     str(site.seals), *map(str, site.rotated))
    assert (status, err) == (1, "")
    assert "%s:4: not a seal: line longer than 4096 bytes\n" % site.seals in out
