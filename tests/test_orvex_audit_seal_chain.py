"""Chain seals: a sealing key of their own, made by seal-init and replaced by
seal after every seal, one chain per host pinned by its anchor. The attacks
that passed against seals signed with the records' key fail here; a sealer
killed at any step finishes on its next run; a key file copied at some time
signs nothing in the place of any earlier seal. Signatures are checked and
forged here with the `cryptography` package, never with orvex-audit."""

import json
import os
import shutil
import stat

import pytest
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
from cryptography.hazmat.primitives.serialization import Encoding, PublicFormat

from test_orvex_audit import LOG_NAME, PUBLIC_KEY, SEED, run, summary, write_log
from test_orvex_audit_seals import check_chain, read_seals, seal_env

CRASH_STEPS = ["pending-temp", "pending-stored", "seal-appended", "next-temp", "next-stored"]
CRASH_EXIT = 86


def public_of(seed_hex):
    key = Ed25519PrivateKey.from_private_bytes(bytes.fromhex(seed_hex))
    return key.public_key().public_bytes(Encoding.Raw, PublicFormat.Raw).hex()


def key_file_state(path):
    """The key file's lines as a dict: chain, sequence, seed, tip, next."""
    lines = path.read_text().splitlines()
    assert lines[0] == "orvex-audit sealing key 1"
    return dict(line.split(" ", 1) for line in lines[1:])


def sign(seed_hex, seal):
    """Signs `seal` as the sealer does: the compact object of its members but
    the signature, names in ascending order."""
    text = json.dumps({k: seal[k] for k in sorted(seal) if k != "signature"}, separators=(",", ":"))
    key = Ed25519PrivateKey.from_private_bytes(bytes.fromhex(seed_hex))
    seal["signature"] = key.sign(text.encode("utf-8")).hex()
    return json.dumps(seal, separators=(",", ":")) + "\n"


class Host:
    """One host: its guard's log rotated by hand into sealed files, its
    sealing key file, and the anchor kept off the host."""

    def __init__(self, directory, monkeypatch, chain, seed=SEED, rotations=3):
        self.dir = directory
        self.key = directory / "seal.key"
        status, out, err = run("seal-init", "--key-file", str(self.key), "--chain", chain)
        assert (status, err) == (0, "")
        self.anchor = out.strip()
        self.files = []
        for n in range(rotations):
            write_log(directory, monkeypatch, seed=seed, count=3)
            self.files.append(directory / ("%s-2026120%d" % (LOG_NAME, n + 1)))
            (directory / LOG_NAME).rename(self.files[-1])
            self.seal(self.files[-1])
        write_log(directory, monkeypatch, seed=seed, count=2)
        self.active = directory / LOG_NAME

    @property
    def seals(self):
        return self.dir / "orvex_audit.seals"

    def seal(self, *paths, env=None):
        return run("seal", "--key-file", str(self.key), "--seals", str(self.seals), *map(str, paths), env=env)

    def verify(self, *extra, anchor=None):
        return run("verify", "--public-key", PUBLIC_KEY, "--anchor", anchor or self.anchor, "--seals",
                   str(self.seals), *extra, *map(str, self.files + [self.active]))


@pytest.fixture
def host(tmp_path, monkeypatch):
    return Host(tmp_path, monkeypatch, "host-a")


def healthy_report(host, records=11):
    return ("%s: 2 records and no seal: nothing of this file is sealed\n" % host.active) + summary(records, records)


def test_seal_init_makes_a_private_key_file_and_prints_the_anchor(tmp_path):
    key = tmp_path / "k"
    status, out, err = run("seal-init", "--key-file", str(key), "--chain", "web-1")
    assert (status, err) == (0, "")
    name, anchor = out.strip().split("=")
    assert name == "web-1" and len(anchor) == 64 and out.endswith("\n")
    assert stat.S_IMODE(key.stat().st_mode) == 0o600
    state = key_file_state(key)
    assert (state["chain"], state["sequence"], state["tip"]) == ("web-1", "0", "none")
    assert public_of(state["seed"]) == anchor
    before = key.read_bytes()
    assert run("seal-init", "--key-file", str(key)) == (
        2, "", "orvex-audit: --key-file %s: exists already, and a sealing key is never overwritten\n" % key)
    assert key.read_bytes() == before and sorted(os.listdir(tmp_path)) == ["k"]
    # By default the chain is named after the host.
    status, out, _ = run("seal-init", "--key-file", str(tmp_path / "h"))
    assert status == 0 and out.startswith(os.uname().nodename + "=")


@pytest.mark.parametrize("arguments, message", [
    (["seal-init"], "seal-init needs --key-file KEYFILE"),
    (["seal-init", "--key-file"], "--key-file needs a value"),
    (["seal-init", "--key-file", "k", "--chain", "-x"],
     '--chain needs 1 to 64 letters, digits, ".", "_" or "-", not starting with "-", got "-x"'),
    (["seal-init", "--key-file", "k", "--chain", "a b"],
     '--chain needs 1 to 64 letters, digits, ".", "_" or "-", not starting with "-", got "a b"'),
    (["seal", "--seals", "s", "x.log"],
     "seal needs --key-file KEYFILE (make one with seal-init), or --records-key for first-format seals"),
    (["seal", "--seals", "s", "--key-file", "k", "--records-key", "x.log"],
     "--key-file and --records-key exclude each other"),
    (["seal", "--seals", "s", "--key-file", "k", "--key-file", "k", "x.log"], "--key-file given more than once"),
    (["verify", "--anchor", "a=" + "0" * 64], "--anchor and --anchors need --seals SEALFILE"),
    (["verify", "--seals", "s", "--anchor", "a"], '--anchor an anchor is NAME=HEX: "a"'),
    (["verify", "--seals", "s", "--anchor", "a=12"], '--anchor the anchor needs 64 hexadecimal digits after "=": "a=12"'),
    (["verify", "--seals", "s", "--anchor", "a=" + "0" * 64, "--anchor", "a=" + "1" * 64],
     '--anchor the chain has a different anchor already: "a=%s"' % ("1" * 64)),
    (["verify", "--seals", "s", "--max-seal-age", "26"],
     '--max-seal-age needs a whole number and s, m, h or d (as 26h), up to 3650d, got "26"'),
    (["verify", "--seals", "s", "--max-seal-age", "3651d"],
     '--max-seal-age needs a whole number and s, m, h or d (as 26h), up to 3650d, got "3651d"'),
    (["verify", "--active", "x.log"], "--active needs --seals SEALFILE"),
])
def test_usage_errors(tmp_path, arguments, message):
    status, out, err = run(*arguments, cwd=tmp_path)
    assert (status, out) == (2, "") and err.startswith("orvex-audit: %s\n" % message), err


def test_each_seal_is_signed_by_the_key_its_predecessor_named(host):
    seals = read_seals(host.seals)
    check_chain(seals)
    assert seals[0]["public_key"] == host.anchor.split("=")[1]
    assert [(s["seal"], s["chain"], s["sequence"]) for s in seals] == [(2, "host-a", n) for n in range(3)]
    # The key file now holds the key the newest seal named, and nothing else.
    state = key_file_state(host.key)
    assert (state["sequence"], state["tip"]) == ("3", seals[-1]["signature"]) and "next" not in state
    assert public_of(state["seed"]) == seals[-1]["next_key"]
    assert stat.S_IMODE(host.key.stat().st_mode) == 0o600 and not (host.dir / "seal.key.new").exists()
    assert host.verify() == (0, healthy_report(host), "")


def test_key_file_open_to_others_or_malformed_is_refused(host):
    before = host.seals.read_bytes()
    host.key.chmod(0o640)
    assert host.seal(host.active)[2] == (
        "orvex-audit: --key-file %s: mode 0640 lets others than its owner read or write it: make it 0600\n" % host.key)
    host.key.chmod(0o600)
    host.key.write_text(host.key.read_text().replace("sequence 3", "sequence 03"))
    assert host.seal(host.active)[2] == (
        "orvex-audit: --key-file %s: not a sealing key file as seal-init writes it, at line 3\n" % host.key)
    assert host.seals.read_bytes() == before


# The steps that the next run passes again: all but the storing of a pending
# key, which it finds stored and uses.
STEPS_PASSED_AGAIN = {"pending-temp", "seal-appended", "next-temp", "next-stored"}


@pytest.mark.parametrize("step", CRASH_STEPS)
def test_a_sealer_killed_at_any_step_finishes_on_its_next_run(host, step):
    crash = dict(os.environ, ORVEX_AUDIT_CRASH_AT=step)
    assert host.seal(host.active, env=crash)[0] == CRASH_EXIT
    # Killed again on its way through the unfinished step, then run whole.
    assert host.seal(host.active, env=crash)[0] == (CRASH_EXIT if step in STEPS_PASSED_AGAIN else 0)
    assert host.seal(host.active) == (0, "", "")
    seals = read_seals(host.seals)
    check_chain(seals)
    # No key signed two seals, so none named two successors.
    assert len({s["public_key"] for s in seals}) == len(seals) >= 4
    assert [s["sequence"] for s in seals] == list(range(len(seals)))
    state = key_file_state(host.key)
    assert (int(state["sequence"]), state["tip"]) == (len(seals), seals[-1]["signature"]) and "next" not in state
    assert not (host.dir / "seal.key.new").exists()
    status, out, _ = host.verify()
    assert (status, out) == (0, summary(11, 11))


def test_f1_a_foreign_seal_appended_is_not_chained_onto(host, tmp_path, monkeypatch):
    (tmp_path / "b").mkdir()
    other = Host(tmp_path / "b", monkeypatch, "host-a", rotations=1)
    foreign = read_seals(other.seals)[0]
    with open(host.seals, "a") as seals:
        seals.write(json.dumps(foreign, separators=(",", ":")) + "\n")
    before = host.seals.read_bytes()
    assert host.seal(host.active) == (2, "", "orvex-audit: %s:4: the last seal is not the last one this key file's "
                                      "chain host-a made; no seal was added\n" % host.seals)
    assert host.seals.read_bytes() == before
    status, out, _ = host.verify()
    assert status == 1 and "%s:4: broken chain: seal 0 of chain host-a where seal 3 belongs" % host.seals in out


def test_h1_another_hosts_seals_and_logs_in_place_fail(tmp_path, monkeypatch):
    """Two hosts share one ORVEX_SEED; host A's seals and logs are replaced
    by host B's, which verify record by record under the shared key."""
    (tmp_path / "a").mkdir()
    (tmp_path / "b").mkdir()
    a = Host(tmp_path / "a", monkeypatch, "host-a")
    b = Host(tmp_path / "b", monkeypatch, "host-b")
    shutil.rmtree(a.dir)
    shutil.copytree(b.dir, a.dir)
    status, out, _ = a.verify()
    assert status == 1
    assert "%s:1: seal of chain host-b, which has no pinned anchor\n" % a.seals in out
    assert "%s: chain host-a has no seal in %s\n" % (a.seals, a.seals) in out
    # Named like A's chain, B's chain still has another anchor.
    (tmp_path / "c").mkdir()
    c = Host(tmp_path / "c", monkeypatch, "host-a")
    status, out, _ = c.verify(anchor=a.anchor)
    assert status == 1 and "%s:1: the first seal of chain host-a is signed by %s, which is not its anchor\n" % (
        c.seals, c.anchor.split("=")[1]) in out


def test_k1_a_seal_file_rebuilt_with_the_seed_fails(host):
    """Whoever holds ORVEX_SEED deletes a record and seals the files anew,
    with the records' key or with a chain of their own."""
    lines = host.files[1].read_text().splitlines(keepends=True)
    host.files[1].write_text("".join(lines[:1] + lines[2:]))
    host.seals.unlink()
    assert run("seal", "--records-key", "--seals", str(host.seals), *map(str, host.files), env=seal_env())[0] == 0
    status, out, _ = host.verify()
    assert status == 1 and (
        "%s:1: a first-format seal, signed with the records' key, is not trusted when seal anchors are pinned\n"
        % host.seals) in out
    host.seals.unlink()
    host.key.unlink()
    assert run("seal-init", "--key-file", str(host.key), "--chain", "host-a")[0] == 0
    assert host.seal(*host.files)[0] == 0
    status, out, _ = host.verify()
    assert status == 1 and "%s:1: the first seal of chain host-a is signed by" % host.seals in out


def test_a_key_file_copied_at_some_time_rewrites_no_earlier_seal(host):
    stolen = key_file_state(host.key)  # taken at time T, after three seals
    assert host.seal(host.active) == (0, "", "")
    genuine = host.seals.read_text().splitlines(keepends=True)
    stolen_public = json.loads(genuine[3])["public_key"]
    for n in range(3):
        # Seal n rewritten to cover its file with a record removed, signed
        # with the stolen key in the place of the key that signed it: in the
        # whole chain, or as the end of a chain cut there.
        seal = json.loads(genuine[n])
        seal.update(bytes=seal["bytes"] - 1, public_key=stolen_public)
        for forged in [genuine[:n] + [sign(stolen["seed"], seal)] + genuine[n + 1:],
                       genuine[:n] + [sign(stolen["seed"], seal)]]:
            host.seals.write_text("".join(forged))
            status, out, _ = host.verify()
            assert status == 1 and "%s:%d: " % (host.seals, n + 1) in out, out
    host.seals.write_text("".join(genuine))
    assert host.verify()[0] == 0


def test_the_active_log_is_the_only_unsealed_input_allowed(host):
    status, out, err = host.verify("--require-sealed", "--active", LOG_NAME)
    assert (status, out, err) == (0, "%s: 2 records and no seal yet: the active log, sealed at its next rotation\n"
                                  % host.active + summary(11, 11), "")
    # A rotated file that was never sealed is not the active log.
    host.seals.write_text("".join(host.seals.read_text().splitlines(keepends=True)[:2]))
    status, out, _ = host.verify("--require-sealed", "--active", LOG_NAME)
    assert status == 1 and "%s: 3 records and no seal: nothing of this file is sealed\n" % host.files[2] in out


def test_seals_cut_off_with_their_files_are_caught_by_their_age(host):
    status, _, _ = host.verify("--max-seal-age", "1h")
    assert status == 0
    lines = host.seals.read_text().splitlines(keepends=True)
    seal = json.loads(lines[-1])
    stale = lines[-1].replace(seal["sealed_at"], "2026-01-01T00:00:00+00:00")
    host.seals.write_text("".join(lines[:-1] + [stale]))
    status, out, _ = host.verify("--max-seal-age", "1h")
    assert status == 1 and (
        "%s:3: the newest seal of chain host-a (%s:3) was made at 2026-01-01T00:00:00+00:00, longer ago than 1h\n"
        % (host.seals, host.seals)) in out


@pytest.mark.parametrize("text, message", [
    ("", "holds no anchor, and an empty list pins nothing"),
    ("# retired\n\n", "holds no anchor, and an empty list pins nothing"),
    ("host-a\n", "1: an anchor is NAME=HEX"),
    ("# ok\nhost-a=zz\n", "2: the anchor needs 64 hexadecimal digits after \"=\""),
])
def test_anchors_files_that_pin_nothing_are_usage_errors(host, text, message):
    anchors = host.dir / "anchors"
    anchors.write_text(text)
    status, out, err = run("verify", "--anchors", str(anchors), "--seals", str(host.seals), str(host.active))
    sep = ":" if message[0].isdigit() else ": "
    assert (status, out, err.splitlines()[0]) == (2, "", "orvex-audit: --anchors %s%s%s" % (anchors, sep, message))


def test_an_anchors_file_pins_its_chains(host):
    anchors = host.dir / "anchors"
    anchors.write_text("# the fleet\n  %s  \nhost-b=%s\n" % (host.anchor, "0" * 64))
    status, out, _ = run("verify", "--public-key", PUBLIC_KEY, "--anchors", str(anchors), "--seals",
                         str(host.seals), *map(str, host.files + [host.active]))
    assert status == 1 and "chain host-b has no seal in" in out
    anchors.write_text(host.anchor + "\n")
    assert run("verify", "--public-key", PUBLIC_KEY, "--anchors", str(anchors), "--seals", str(host.seals),
               *map(str, host.files + [host.active])) == (0, healthy_report(host), "")


def test_one_key_file_never_signs_for_two_seal_files_at_once(host):
    """Sealers of one key file with two copies of the seal file take turns:
    the second finds the first's seal as the tip and refuses, so the key
    names one successor only."""
    import subprocess
    from test_orvex_audit import COMMAND
    copy = host.dir / "copy.seals"
    shutil.copyfile(host.seals, copy)
    sealers = [subprocess.Popen([COMMAND, "seal", "--key-file", str(host.key), "--seals", str(path), str(host.active)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE) for path in (host.seals, copy)]
    statuses = sorted(sealer.wait(timeout=60) for sealer in sealers)
    assert statuses == [0, 2]
    assert len(read_seals(host.seals)) + len(read_seals(copy)) == 7


def test_a_key_file_and_a_seal_file_that_do_not_belong_together(host, tmp_path):
    fresh = tmp_path / "fresh.key"
    assert run("seal-init", "--key-file", str(fresh), "--chain", "host-a")[0] == 0
    empty = tmp_path / "empty.seals"
    for key, seals, message in [
        (fresh, host.seals, "%s: the key file starts chain host-a, but the seal file already holds seals; "
                            "start a chain in a new seal file" % host.seals),
        (host.key, empty, "%s: the key file of chain host-a is at seal 3, but the seal file holds none of the "
                          "chain's seals" % empty),
    ]:
        status, out, err = run("seal", "--key-file", str(key), "--seals", str(seals), str(host.active))
        assert (status, out, err) == (2, "", "orvex-audit: %s\n" % message)
    assert empty.read_bytes() == b"" and len(read_seals(host.seals)) == 3
