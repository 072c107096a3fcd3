"""Inputs an intruder shapes (an empty keys file, a FIFO, a sealed day moved, a
name with control bytes, an endless line): refused or reported, never trusted."""

import json
import os
import resource
import socket
import subprocess
import zlib

import pytest

from test_orvex_audit import COMMAND, LOG_NAME, PUBLIC_KEY, USAGE, summary, write_log
from test_orvex_audit_seals import seal_env
from test_orvex_audit_verify_seals import Site


def quick(*arguments, env=None, stdin=b"", data_bytes=None):
    """(status, out, err) of a run that may not block (20 s) nor, with
    `data_bytes`, allocate past it (it then ends with "out of memory")."""
    limit = data_bytes and (lambda: resource.setrlimit(resource.RLIMIT_DATA, (data_bytes, data_bytes)))
    try:
        done = subprocess.run([COMMAND, *arguments], input=stdin, capture_output=True, env=env, timeout=20,
                              preexec_fn=limit or None)
    except subprocess.TimeoutExpired:
        pytest.fail("orvex-audit %s blocked" % " ".join(map(str, arguments)))
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


@pytest.mark.parametrize("text", ["", "\n\n", "# retired\n#%s\n" % PUBLIC_KEY, "  \t\r\n# only\n"])
def test_a_keys_file_without_a_key_is_a_usage_error(tmp_path, monkeypatch, text):
    write_log(tmp_path, monkeypatch, count=2)
    (tmp_path / "k").write_text(text)
    expected = (2, "", "orvex-audit: --keys %s: holds no key, so it would pin nothing\n%s" % (tmp_path / "k", USAGE))
    for pinned in ([], ["--public-key", PUBLIC_KEY]):
        assert quick("verify", *pinned, "--keys", str(tmp_path / "k"), str(tmp_path / LOG_NAME)) == expected


@pytest.mark.parametrize("kind", ["FIFO", "socket", "character device"])
def test_special_files_are_refused_at_once_everywhere(tmp_path, monkeypatch, kind):
    write_log(tmp_path, monkeypatch, count=2)
    log, seals, path = str(tmp_path / LOG_NAME), str(tmp_path / "s.seals"), str(tmp_path / "log-1")
    if kind == "FIFO":
        os.mkfifo(path)
    elif kind == "socket":
        socket.socket(socket.AF_UNIX).bind(path)
    else:
        path = "/dev/zero"
    refused = "%s: is a %s, not a regular file" % (path, kind)
    assert quick("verify", "--public-key", PUBLIC_KEY, path, log) == (2, summary(2, 2), "orvex-audit: %s\n" % refused)
    status, out, err = quick("verify", "--public-key", PUBLIC_KEY, "--seals", path, log)
    assert (status, err) == (2, "orvex-audit: %s\n" % refused) and out.endswith(summary(2, 2))
    assert quick("verify", "--keys", path, log) == (2, "", "orvex-audit: --keys %s\n%s" % (refused, USAGE))
    assert quick("seal", "--records-key", "--seals", path, log, env=seal_env()) == (2, "", "orvex-audit: %s\n" % refused)
    assert quick("seal", "--records-key", "--seals", seals, path, log, env=seal_env()) == (2, "", "orvex-audit: %s\n" % refused)
    # The seal file's lock went with that run; standard input may be a pipe.
    assert quick("seal", "--records-key", "--seals", seals, log, env=seal_env()) == (0, "", "")
    assert quick("verify", "--public-key", PUBLIC_KEY, "--seals", seals, log) == (0, summary(2, 2), "")
    assert quick("verify", "--public-key", PUBLIC_KEY, stdin=open(log, "rb").read()) == (0, summary(2, 2), "")


def test_a_sealed_file_prepended_to_the_active_log_is_missing(tmp_path, monkeypatch):
    site = Site(tmp_path, monkeypatch)
    day = site.rotated[0]
    # The sealed day moves in front of the active log, which rotation seals.
    site.active.write_bytes(day.read_bytes() + site.active.read_bytes())
    day.unlink()
    merged = tmp_path / (LOG_NAME + "-20261204")
    site.active.rename(merged)
    site.seal(merged)
    assert site.verify(files=site.rotated[1:] + [merged]) == (
        1, "%s:1: sealed file %s is not among the inputs\n%s" % (site.seals, day.name, summary(14, 14)), "")


def test_an_active_log_sealed_then_grown_and_rotated_keeps_its_evidence(tmp_path, monkeypatch):
    site = Site(tmp_path, monkeypatch)
    site.seal(site.active)
    write_log(tmp_path, monkeypatch, count=2)
    rotated = tmp_path / (LOG_NAME + "-20261204")
    site.active.rename(rotated)
    site.seal(rotated)
    write_log(tmp_path, monkeypatch, count=1)
    site.seal(site.active)  # the sealer sees the name taken by another file
    assert site.verify(files=site.rotated + [rotated, site.active]) == (0, summary(17, 17), "")
    assert site.verify(files=site.rotated + [site.active]) == (
        1, "%s:5: sealed file %s is not among the inputs\n%s" % (site.seals, rotated.name, summary(13, 13)), "")
    rotated.write_bytes(rotated.read_bytes()[1:])
    status, out, _ = site.verify(files=site.rotated + [rotated, site.active])
    assert status == 1 and "%s: sealed part changed: the first %d bytes do not match the seal at %s:4\n" % (
        rotated, len(b"".join(line.encode() + b"\n" for line in site.lines[12:])), site.seals) in out


@pytest.mark.parametrize("name, shown", [
    (b"d\n12 records read: 12 valid, 0 invalid\nx", "d\\x0a12 records read: 12 valid, 0 invalid\\x0ax"),
    (b"\x1b[2J\x1b]0;owned\x07", "\\x1b[2J\\x1b]0;owned\\x07"),
    (b"del\x7f-c1\xc2\x9b31m-tab\t", "del\\x7f-c1\\xc2\\x9b31m-tab\\x09"),
    (b"bad\xff\xc3(-ok-\xc3\xa9", "bad\\xff\\xc3(-ok-\u00e9"),
])
def test_text_report_escapes_control_bytes_in_names(tmp_path, monkeypatch, name, shown):
    lines = write_log(tmp_path, monkeypatch, count=2)
    path = bytes(tmp_path) + b"/" + name
    with open(path, "wb") as log:
        log.write((lines[0] + "\n" + lines[1][:40]).encode("utf-8"))
    assert quick("verify", "--public-key", PUBLIC_KEY, path) == (
        1, "%s/%s:2: torn line: the log ends without a line feed\n%s" % (tmp_path, shown, summary(2, 1)), "")
    _, out, _ = quick("verify", "--format", "json", "--public-key", PUBLIC_KEY, path)
    assert json.loads(out.splitlines()[0])["file"] == path.decode("utf-8", "replace")


def endless_line_gzip(path, mebibytes, members):
    """`members` gzip members whose text is `mebibytes` MiB of "x", no line feed."""
    packers = [zlib.compressobj(6, zlib.DEFLATED, 31) for _ in range(members)]
    path.write_bytes(b"".join(b"".join(p.compress(b"x" * (1 << 20)) for _ in range(mebibytes // members)) + p.flush()
                              for p in packers))
    return str(path)


OVER = "%s:%d: line of %d bytes is longer than the limit of %d bytes\n"


def test_a_line_over_the_limit_is_a_finding_with_its_length(tmp_path, monkeypatch):
    lines = write_log(tmp_path, monkeypatch, count=3)
    plain = tmp_path / "plain.log"
    plain.write_bytes(("%s\n%s\n%s\n%s" % (lines[0], "y" * 5000, lines[1], "z" * 3000)).encode("utf-8"))
    packed = endless_line_gzip(tmp_path / "packed.gz", 8, members=2)
    assert quick("verify", "--public-key", PUBLIC_KEY, "--max-line-bytes", "2000", str(plain), packed) == (
        1, OVER % (plain, 2, 5000, 2000) + OVER % (plain, 4, 3000, 2000) + OVER % (packed, 1, 8 << 20, 2000) +
        summary(5, 2), "")
    longest = max(len(line.encode("utf-8")) for line in lines)  # at the limit, read as usual
    assert quick("verify", "--public-key", PUBLIC_KEY, "--max-line-bytes=%d" % longest, str(tmp_path / LOG_NAME)) \
        == (0, summary(3, 3), "")
    bomb = endless_line_gzip(tmp_path / "bomb.gz", 512, members=2)  # the default, in bounded memory
    assert quick("verify", "-j1", "--public-key", PUBLIC_KEY, bomb, data_bytes=176 << 20) == (
        1, OVER % (bomb, 1, 512 << 20, 128 << 20) + summary(1, 0), "")


def test_seals_and_seal_files_across_over_long_lines(tmp_path, monkeypatch):
    site = Site(tmp_path, monkeypatch)
    target = site.rotated[1]
    target.write_bytes(target.read_bytes() + b"q" * 4000 + b"\n")
    with open(site.seals, "ab") as seals:
        seals.writelines([b"{" * (1 << 20)] * 64 + [b"\n"])
    assert quick("verify", "-j1", "--public-key", PUBLIC_KEY, "--seals", str(site.seals), "--max-line-bytes",
                 "3000", *map(str, site.rotated + [site.active]), data_bytes=48 << 20) == (
        1, "%s:4: not a seal: line longer than 4096 bytes\n" % site.seals + OVER % (target, 5, 4000, 3000) +
        "%s: 1 records after the sealed part are not sealed\n%s%s" % (target, site.unsealed_active(),
                                                                       summary(15, 14)), "")


@pytest.mark.parametrize("value", ["0", "x", "-5", "1099511627777", ""])
def test_max_line_bytes_needs_a_whole_number_in_range(value):
    assert quick("verify", "--max-line-bytes", value) == (2, "", (
        'orvex-audit: --max-line-bytes needs a whole number from 1 to 1099511627776, got "%s"\n%s' % (value, USAGE)))
