"""orvex-audit verify --seals, gzip input, -j and --format json: every way of
removing, changing or hiding evidence is named on its file and line, and the
report is the same byte for byte whatever the number of threads."""

import gzip
import json
import os
import shutil

import pytest

from test_orvex_audit import (LOG_NAME, NOTHING_PINNED, OTHER_PUBLIC_KEY, OTHER_SEED, PUBLIC_KEY, SEED, run,
                              summary, write_log)
from test_orvex_audit_seals import seal_env

KINDS = ["torn-line", "invalid-record", "repeated-line", "damaged-input", "invalid-seal", "broken-chain",
         "sealed-part-changed", "sealed-file-missing", "unsealed-records", "several-keys-unpinned", "foreign-chain",
         "stale-chain"]


class Site:
    """A log rotated by hand into three files, each sealed as it left the
    active log, and an active log with records not sealed yet."""

    def __init__(self, directory, monkeypatch):
        self.dir = directory
        lines = write_log(directory, monkeypatch, count=14)
        (directory / LOG_NAME).unlink()
        self.rotated = []
        for n, chunk in enumerate([lines[0:4], lines[4:8], lines[8:12]]):
            path = directory / ("%s-2026120%d" % (LOG_NAME, n + 1))
            path.write_bytes("".join(line + "\n" for line in chunk).encode("utf-8"))
            self.seal(path)
            self.rotated.append(path)
        self.active = directory / LOG_NAME
        self.active.write_bytes("".join(line + "\n" for line in lines[12:]).encode("utf-8"))
        self.lines = lines

    @property
    def seals(self):
        return self.dir / "orvex_audit.seals"

    def seal(self, *paths, seed=SEED):
        status, out, err = run("seal", "--records-key", "--seals", str(self.seals), *map(str, paths), env=seal_env(seed))
        assert (status, out, err) == (0, "", "")

    def verify(self, *extra, files=None, key=PUBLIC_KEY):
        files = self.rotated + [self.active] if files is None else files
        pinned = ["--public-key", key] if key else []
        return run("verify", *pinned, "--seals", str(self.seals), *extra, *map(str, files))

    def unsealed_active(self):
        return "%s: 2 records and no seal: nothing of this file is sealed\n" % self.active


@pytest.fixture
def site(tmp_path, monkeypatch):
    return Site(tmp_path, monkeypatch)


def test_intact_site_verifies(site):
    assert site.verify() == (0, site.unsealed_active() + summary(14, 14), "")


def test_sealed_active_log_then_more_records(site, monkeypatch):
    site.seal(site.active)
    assert site.verify() == (0, summary(14, 14), "")
    write_log(site.dir, monkeypatch, count=3)
    status, out, _ = site.verify()
    assert (status, out) == (0, "%s: 3 records after the sealed part are not sealed\n%s"
                             % (site.active, summary(17, 17)))
    status, out, _ = site.verify("--require-sealed")
    assert status == 1 and "3 records after the sealed part are not sealed" in out


def test_unsealed_records_fail_only_when_required(site):
    assert site.verify("--require-sealed") == (1, site.unsealed_active() + summary(14, 14), "")
    assert site.verify("--require-sealed", files=site.rotated) == (0, summary(12, 12), "")


def edit(path, change):
    lines = path.read_bytes().split(b"\n")[:-1]
    path.write_bytes(b"".join(line + b"\n" for line in change(lines)))


def size_of(path):
    return path.stat().st_size


@pytest.mark.parametrize("damage", ["delete", "change", "reorder", "insert", "truncate", "append-torn"])
def test_changes_inside_the_sealed_part_name_the_file(site, damage):
    target = site.rotated[1]
    sealed_bytes = size_of(target)
    extra = []
    if damage == "delete":
        edit(target, lambda lines: lines[:1] + lines[2:])
    elif damage == "change":
        edit(target, lambda lines: [lines[0].replace(b'"intent_id":"', b'"intent_id":"x')] + lines[1:])
        extra = ["%s:1: bad signature: the signed members do not match it\n" % target]
    elif damage == "reorder":
        edit(target, lambda lines: [lines[1], lines[0]] + lines[2:])
    elif damage == "insert":
        stranger = site.rotated[0].read_bytes().split(b"\n")[0]
        edit(target, lambda lines: lines[:2] + [stranger] + lines[2:])
        extra = ["%s:3: repeats %s:1 byte for byte\n" % (target, site.rotated[0])]
    elif damage == "truncate":
        target.write_bytes(target.read_bytes()[:sealed_bytes - 10])
        extra = ["%s:4: torn line: the log ends without a line feed\n" % target]
    else:
        target.write_bytes(target.read_bytes() + b'{"timestamp":')
        extra = ["%s:5: torn line: the log ends without a line feed\n" % target]
    status, out, err = site.verify()
    held = size_of(target)
    if damage in ("change", "reorder", "insert"):
        finding = "%s: sealed part changed: the first %d bytes do not match the seal at %s:2\n" % (
            target, sealed_bytes, site.seals)
    elif damage == "append-torn":
        finding = "%s: 1 records after the sealed part are not sealed\n" % target
    else:
        finding = "%s: sealed part cut short: the file holds %d bytes of the %d sealed at %s:2\n" % (
            target, held, sealed_bytes, site.seals)
    assert err == ""
    assert status == 1
    lines_out = out.splitlines(keepends=True)
    assert "".join(lines_out[:-1]) == "".join(extra) + finding + site.unsealed_active()


def test_a_removed_rotated_file_is_missing(site):
    assert site.verify(files=[site.rotated[0], site.rotated[2], site.active]) == (
        1, site.unsealed_active() + "%s:2: sealed file %s is not among the inputs\n" % (
            site.seals, site.rotated[1].name) + summary(10, 10), "")


def test_inputs_match_seals_by_base_name_and_gz(site, tmp_path):
    elsewhere = tmp_path / "central"
    elsewhere.mkdir()
    moved = []
    for path in site.rotated:
        packed = elsewhere / (path.name + ".gz")
        packed.write_bytes(gzip.compress(path.read_bytes()))
        moved.append(packed)
    assert site.verify(files=moved) == (0, summary(12, 12), "")


def seal_lines(site):
    return site.seals.read_bytes().split(b"\n")[:-1]


def write_seal_lines(site, lines):
    site.seals.write_bytes(b"".join(line + b"\n" for line in lines))


@pytest.mark.parametrize("damage, findings", [
    ("remove-middle", ["2: broken chain: the seal does not name the seal on line 1 before it",
                       "sealed-missing 2"]),
    ("remove-first", ["1: broken chain: the first seal names a predecessor that is not in the seal file",
                      "sealed-missing 1"]),
    ("swap", ["1: broken chain: the first seal names a predecessor that is not in the seal file",
              "2: broken chain: a new chain starts here, so the seals before this line are not linked to it",
              "3: broken chain: the seal does not name the seal on line 2 before it"]),
    ("edit", ["2: bad seal signature: the seal's members do not match it", "sealed-missing 2"]),
    # An inserted line is no seal; the chain around it is whole.
    ("garbage", ["2: not a seal: not JSON: expected ident at column 2"]),
    # A line replaced by garbage hides the seal it held: a gap.
    ("replace", ["2: not a seal: not JSON: expected ident at column 2",
                 "3: broken chain: the seal does not name the seal on line 1 before it", "sealed-missing 2"]),
])
def test_damaged_seal_files_are_named(site, damage, findings):
    lines = seal_lines(site)
    if damage == "remove-middle":
        lines = lines[:1] + lines[2:]
    elif damage == "remove-first":
        lines = lines[1:]
    elif damage == "swap":
        lines = [lines[1], lines[0], lines[2]]
    elif damage == "edit":
        lines[1] = lines[1].replace(b'"lines":4', b'"lines":3')
    elif damage == "replace":
        lines[1] = b"nothing"
    else:
        lines = lines[:1] + [b"nothing"] + lines[1:]
    write_seal_lines(site, lines)
    status, out, err = site.verify()
    assert (status, err) == (1, "")
    expected = []
    for finding in findings:
        if finding.startswith("sealed-missing"):
            continue
        expected.append("%s:%s\n" % (site.seals, finding))
    reported = [line for line in out.splitlines(keepends=True) if line.startswith(str(site.seals))]
    assert reported == expected
    missing = [f for f in findings if f.startswith("sealed-missing")]
    for finding in missing:
        index = int(finding.split()[1])
        rotated = site.rotated[index - 1]
        # The file whose seal went is now unsealed; nothing else claims it.
        assert "%s: 4 records and no seal: nothing of this file is sealed\n" % rotated in out


def test_seals_signed_by_a_key_that_is_not_pinned(site, tmp_path, monkeypatch):
    other = tmp_path / "other"
    other.mkdir()
    write_log(other, monkeypatch, seed=OTHER_SEED, count=4)
    extra = tmp_path / "extra.log"
    (other / LOG_NAME).rename(extra)
    site.seal(extra, seed=OTHER_SEED)
    status, out, _ = site.verify(files=site.rotated)
    assert status == 1
    assert "%s:4: seal signed by a key that is not pinned %s\n" % (site.seals, OTHER_PUBLIC_KEY) in out
    # Pinning both keys accepts it; the sealed file is then expected.
    status, out, _ = run("verify", "--public-key", PUBLIC_KEY, "--public-key", OTHER_PUBLIC_KEY, "--seals",
                         str(site.seals), *map(str, site.rotated), str(extra))
    assert (status, out) == (0, summary(16, 16, [(PUBLIC_KEY, 12), (OTHER_PUBLIC_KEY, 4)]))
    # Unpinned, a second key in the chain fails the run.
    status, out, _ = run("verify", "--seals", str(site.seals), *map(str, site.rotated), str(extra))
    assert status == 1
    assert "%s:4: seal signed by a second key %s while nothing is pinned" % (site.seals, OTHER_PUBLIC_KEY) in out


def test_renamed_file_keeps_its_evidence(site, monkeypatch):
    # Seal the active log, rotate it by renaming, seal it under its new name,
    # start a new active log and seal that too: all one consistent story.
    site.seal(site.active)
    rotated = site.dir / (LOG_NAME + "-20261204")
    site.active.rename(rotated)
    site.seal(rotated)
    write_log(site.dir, monkeypatch, count=2)
    site.seal(site.active)
    files = site.rotated + [rotated, site.active]
    assert site.verify(files=files) == (0, summary(16, 16), "")
    # Without the renamed file, its content is missing under its new name.
    status, out, _ = site.verify(files=site.rotated + [site.active])
    assert status == 1 and "%s:5: sealed file %s is not among the inputs\n" % (site.seals, rotated.name) in out


def test_a_replaced_active_log_is_caught(site, monkeypatch):
    site.seal(site.active)
    site.active.unlink()
    write_log(site.dir, monkeypatch, count=2)
    site.seal(site.active)
    status, out, _ = site.verify()
    assert status == 1
    assert ("%s:4: sealed file %s is not among the inputs: a later seal of that name covers a file with another "
            "first record\n" % (site.seals, LOG_NAME)) in out


def test_a_file_that_shrank_between_seals(site):
    target = site.rotated[2]
    target.write_bytes(b"".join(line + b"\n" for line in target.read_bytes().split(b"\n")[:2]))
    site.seal(target)
    status, out, _ = site.verify()
    assert status == 1
    first_size = len("".join(line + "\n" for line in site.lines[8:12]).encode("utf-8"))
    assert "%s:4: %s shrank between seals: line 3 sealed %d bytes, this seal %d bytes\n" % (
        site.seals, target.name, first_size, size_of(target)) in out


def test_missing_seal_file_is_an_error(site):
    site.seals.unlink()
    status, out, err = site.verify()
    assert status == 2
    assert err == "orvex-audit: %s: No such file or directory\n" % site.seals


# --- gzip input ---------------------------------------------------------------


def test_gzip_files_and_standard_input(site, tmp_path):
    text = b"".join(path.read_bytes() for path in site.rotated)
    packed = gzip.compress(text)
    (tmp_path / "all.gz").write_bytes(packed)
    assert run("verify", "--public-key", PUBLIC_KEY, str(tmp_path / "all.gz")) == (0, summary(12, 12), "")
    assert run("verify", "--public-key", PUBLIC_KEY, stdin=packed) == (0, summary(12, 12), "")


def test_truncated_and_corrupt_gzip_are_findings_on_their_line(site, tmp_path):
    text = b"".join(path.read_bytes() for path in site.rotated)
    packed = gzip.compress(text)
    cut = tmp_path / "cut.gz"
    cut.write_bytes(packed[:len(packed) * 2 // 3])
    status, out, err = run("verify", "--public-key", PUBLIC_KEY, str(cut))
    assert (status, err) == (1, "")
    findings = out.splitlines()
    assert len(findings) == 2 and "gzip stream truncated after" in findings[0]
    read = int(findings[1].split()[0])
    assert findings[0].startswith("%s:%d: gzip stream truncated after " % (cut, read + 1))
    assert 0 < read < 12 and findings[1] == summary(read, read).strip()
    bad_check = bytearray(packed)
    bad_check[-6] ^= 1
    status, out, _ = run("verify", "--public-key", PUBLIC_KEY, stdin=bytes(bad_check))
    assert status == 1
    assert out == ("(standard input):13: corrupt gzip stream after %d bytes of text: incorrect data check\n"
                   % len(text)) + summary(12, 12)


# --- threads and formats ---------------------------------------------------------------


@pytest.fixture
def messy(tmp_path, monkeypatch):
    """A long log with every kind of bad line, a line longer than a batch,
    and a repeat across files."""
    lines = write_log(tmp_path, monkeypatch, count=1300)
    for n in range(0, 1300, 97):
        lines[n] = lines[n].replace('"result":"', '"result":"X')
    lines[500] = lines[3]
    lines[700] = '{"timestamp":"' + "x" * (400 << 10) + '"}'
    lines[701] = "not json"
    first = tmp_path / "first.log"
    first.write_bytes("".join(line + "\n" for line in lines[:900]).encode("utf-8"))
    second = tmp_path / "second.log"
    second.write_bytes(("".join(line + "\n" for line in lines[900:]) + lines[4] + "\n" + lines[5][:30])
                       .encode("utf-8"))
    return first, second


@pytest.mark.parametrize("format_", ["text", "json"])
def test_output_is_the_same_at_any_number_of_threads(messy, format_):
    first, second = messy
    runs = {jobs: run("verify", "--public-key", PUBLIC_KEY, "--format", format_, "-j", str(jobs), str(first),
                      str(second)) for jobs in (1, 2, 3, 8)}
    assert runs[1][0] == 1 and runs[1][1].count("\n") > 15
    for jobs in (2, 3, 8):
        assert runs[jobs] == runs[1], jobs
    assert run("verify", "--public-key", PUBLIC_KEY, "--format", format_, str(first), str(second)) == runs[1]


def test_json_report_holds_findings_then_the_summary(messy):
    first, second = messy
    status, out, err = run("verify", "--public-key", PUBLIC_KEY, "--format", "json", str(first), str(second))
    assert (status, err) == (1, "")
    objects = [json.loads(line) for line in out.splitlines()]
    findings, final = objects[:-1], objects[-1]
    assert final == {"kind": "summary", "records": 1302, "valid": 1302 - len(findings),
                     "invalid": len(findings)}
    assert all(list(f) == ["file", "line", "kind", "detail"] and f["kind"] in KINDS for f in findings)
    text_status, text, _ = run("verify", "--public-key", PUBLIC_KEY, str(first), str(second))
    assert text_status == status
    assert ["%s:%d: %s" % (f["file"], f["line"], f["detail"]) for f in findings] == text.splitlines()[:-1]
    assert {f["kind"] for f in findings} == {"invalid-record", "repeated-line", "torn-line"}


def test_json_report_of_seals_and_unpinned_keys(site, tmp_path, monkeypatch):
    site.rotated[1].unlink()
    status, out, _ = site.verify("--format", "json", files=[site.rotated[0], site.rotated[2], site.active])
    assert status == 1
    objects = [json.loads(line) for line in out.splitlines()]
    assert objects == [
        {"file": str(site.active), "line": None, "kind": "unsealed-records",
         "detail": "2 records and no seal: nothing of this file is sealed"},
        {"file": str(site.seals), "line": 2, "kind": "sealed-file-missing",
         "detail": "sealed file %s is not among the inputs" % site.rotated[1].name},
        {"kind": "summary", "records": 10, "valid": 10, "invalid": 0}]
    other = tmp_path / "other"
    other.mkdir()
    write_log(other, monkeypatch, seed=OTHER_SEED, count=2)
    status, out, err = run("verify", "--format", "json", str(site.rotated[0]), str(other / LOG_NAME))
    assert status == 1 and err == ""
    objects = [json.loads(line) for line in out.splitlines()]
    assert objects[0]["kind"] == "several-keys-unpinned" and objects[0]["file"] is None
    assert objects[1] == {"kind": "summary", "records": 6, "valid": 6, "invalid": 0,
                          "keys": [{"key": PUBLIC_KEY, "valid": 4}, {"key": OTHER_PUBLIC_KEY, "valid": 2}]}


@pytest.mark.parametrize("arguments, message", [
    (["verify", "-j", "0"], '-j needs a whole number from 1 to 1024, got "0"'),
    (["verify", "-j", "x"], '-j needs a whole number from 1 to 1024, got "x"'),
    (["verify", "-j2000"], '-j needs a whole number from 1 to 1024, got "2000"'),
    (["verify", "-j"], "-j needs a value"),
    (["verify", "--format", "xml"], '--format needs text or json, got "xml"'),
    (["verify", "--format"], "--format needs a value"),
    (["verify", "--require-sealed"], "--require-sealed needs --seals SEALFILE"),
    (["verify", "--seals", "a", "--seals", "b"], "--seals given more than once"),
    (["verify", "--seals"], "--seals needs a value"),
])
def test_usage_errors(arguments, message):
    status, out, err = run(*arguments)
    assert (status, out) == (2, "")
    assert err.startswith("orvex-audit: %s\n" % message), err


def test_jobs_spellings(site):
    expected = site.verify()
    for spelling in (["-j", "2"], ["-j2"], ["--jobs", "2"], ["--jobs=3"]):
        assert site.verify(*spelling) == expected


def test_the_kinds_are_listed_in_the_manual_and_the_readme():
    from test_doc_tables import README
    status, manual, _ = run("seal", "--help")
    assert status == 0
    readme = README.read_text(encoding="utf-8")
    for kind in KINDS:
        assert "\n        %s " % kind in manual, kind
        assert "| `%s` |" % kind in readme, kind


def signed_seal(previous_line, **members):
    """A seal line made here, independently of `seal`, signed under SEED."""
    from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
    seal = {"seal": 1, "file": None, "bytes": None, "lines": None, "sha256": None, "first": None, "last": None,
            "sealed_at": "2026-12-09T03:00:00+00:00",
            "previous": json.loads(previous_line)["signature"] if previous_line else None,
            "public_key": PUBLIC_KEY}
    seal.update(members)
    signed = json.dumps({k: seal[k] for k in sorted(seal)}, separators=(",", ":")).encode("utf-8")
    seal["signature"] = Ed25519PrivateKey.from_private_bytes(bytes.fromhex(SEED)).sign(signed).hex()
    return json.dumps(seal, separators=(",", ":"))


def test_a_seal_made_elsewhere_is_read_and_its_claims_checked(site):
    import hashlib
    target = site.active
    text = target.read_bytes()
    last = seal_lines(site)[-1].decode("utf-8")
    honest = signed_seal(last, file=target.name, bytes=len(text), lines=2, sha256=hashlib.sha256(text).hexdigest())
    with open(site.seals, "a", encoding="utf-8") as seals:
        seals.write(honest + "\n")
    assert site.verify() == (0, summary(14, 14), "")
    # A seal that claims more lines than its bytes hold, and one that claims
    # more bytes than the file has.
    for claim, finding in [
        (dict(lines=3), "%s: the sealed part holds 2 lines where the seal at %s:5 counts 3\n"),
        (dict(bytes=len(text) + 1), "%s: sealed part cut short: the file holds %d bytes of the %d sealed at %s:5\n"),
    ]:
        members = dict(file=target.name, bytes=len(text), lines=2, sha256=hashlib.sha256(text).hexdigest())
        members.update(claim)
        write_seal_lines(site, seal_lines(site)[:4] + [signed_seal(last, **members).encode("utf-8")])
        status, out, _ = site.verify()
        expected = (finding % (target, site.seals) if "lines" in claim
                    else finding % (target, len(text), len(text) + 1, site.seals))
        assert status == 1 and expected in out, out
