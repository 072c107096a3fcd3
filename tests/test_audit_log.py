"""The signed audit log as a caller sees it: one line per decision, members in
the record's order, a signature that checks out from the line alone, and a
file that only grows, also under several writing processes at once."""

import json
import os
import shutil
import subprocess
import sys
import textwrap

import pytest
from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PublicKey

import orvex_core
from conftest import LOG_NAME, RECORD_ORDER, SEED, decide, log_lines

# The test seed's public key (RFC 8032 section 7.1, test 1), known independently.
PUBLIC_KEY = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a"
OTHER_SEED = "00" * 32

SIGNED_MEMBERS = sorted(RECORD_ORDER[:8])

EXAMPLE_REASON = "Constraint violation: amount <= Number(100)"


def intent_text(constraints=(), intent_id="intent-42", objective="Restock office supplies"):
    return json.dumps({"id": intent_id, "objective": objective, "mode": "strict", "version": "1.2",
                       "constraints": [{"attribute": a, "operator": o, "value": v, "priority": 0}
                                       for a, o, v in constraints]})


def example_documents():
    """The worked example: denied, params given unsorted at two depths."""
    action = '{"params":{"vendor":"vendor-9","amount":150,"meta":{"z":1,"a":[true,null]}}}'
    return intent_text([("amount", "<=", 100)]), action, '{"values":{}}'


def raw_members(line):
    """The members of a compact record line as (key, raw value text), in line order."""
    decoder = json.JSONDecoder()
    assert line[0] == "{" and line[-1] == "}"
    members, at = [], 1
    while True:
        key, at = decoder.raw_decode(line, at)
        assert line[at] == ":"
        start = at + 1
        _, at = decoder.raw_decode(line, start)
        members.append((key, line[start:at]))
        if line[at] == "}":
            assert at == len(line) - 1
            return members
        assert line[at] == ","
        at += 1


def signed_text(members):
    """The text a verifier rebuilds: the eight members in ascending key order."""
    raw = dict(members)
    return "{" + ",".join('"%s":%s' % (key, raw[key]) for key in SIGNED_MEMBERS) + "}"


def verifies(text, members):
    raw = dict(members)
    key = Ed25519PublicKey.from_public_bytes(bytes.fromhex(json.loads(raw["public_key"])))
    try:
        key.verify(bytes.fromhex(json.loads(raw["signature"])), text.encode("utf-8"))
        return True
    except InvalidSignature:
        return False


# --- The record and its signature -------------------------------------------


def test_worked_example_line(workdir):
    assert decide(*example_documents()) == EXAMPLE_REASON
    [line] = log_lines(workdir)
    members = raw_members(line)
    assert [key for key, _ in members] == RECORD_ORDER
    raw = dict(members)
    assert raw["action_params"] == '{"amount":150,"meta":{"a":[true,null],"z":1},"vendor":"vendor-9"}'
    assert raw["public_key"] == '"%s"' % PUBLIC_KEY
    timestamp = json.loads(raw["timestamp"])
    assert signed_text(members) == (
        '{"action_params":{"amount":150,"meta":{"a":[true,null],"z":1},"vendor":"vendor-9"},'
        '"intent_id":"intent-42","mode":"strict","objective":"Restock office supplies",'
        '"reason":"Constraint violation: amount <= Number(100)","result":"FAIL",'
        '"timestamp":"%s","version":"1.2"}' % timestamp)
    assert verifies(signed_text(members), members)


def test_record_order_is_not_what_is_signed(workdir):
    decide(*example_documents())
    members = raw_members(log_lines(workdir)[0])
    in_line_order = "{" + ",".join('"%s":%s' % member for member in members[:8]) + "}"
    assert not verifies(in_line_order, members)


def test_any_changed_byte_of_the_signed_members_fails(workdir):
    decide(*example_documents())
    members = raw_members(log_lines(workdir)[0])
    text = signed_text(members)
    assert verifies(text, members)
    for at in range(len(text)):
        tampered = text[:at] + chr(ord(text[at]) ^ 1) + text[at + 1:]
        assert not verifies(tampered, members), at


def test_allowed_with_empty_params(workdir):
    assert decide(intent_text(), '{"params":{}}', '{"values":{}}') is True
    members = raw_members(log_lines(workdir)[0])
    raw = dict(members)
    assert (raw["action_params"], raw["result"], raw["reason"]) == ("{}", '"PASS"', "null")
    assert signed_text(members).startswith('{"action_params":{},"intent_id":')
    assert verifies(signed_text(members), members)


def test_reason_is_the_error_text_and_specials_stay_on_one_line(workdir):
    attribute = 'say "hi"\\\nnow'
    documents = (intent_text([(attribute, "==", 1)], intent_id="a\"b", objective="x\ny"),
                 '{"params":{}}', '{"values":{}}')
    reason = decide(*documents)
    assert reason == "Missing required attribute: " + attribute
    [line] = log_lines(workdir)
    record = json.loads(line)
    assert (record["reason"], record["intent_id"], record["objective"]) == (reason, "a\"b", "x\ny")
    assert verifies(signed_text(raw_members(line)), raw_members(line))


def test_same_documents_differ_in_time_and_signature_only(workdir, monkeypatch):
    documents = example_documents()
    decide(*documents)
    decide(*documents)
    monkeypatch.setenv("ORVEX_SEED", OTHER_SEED)
    decide(*documents)
    first, second, third = (dict(raw_members(line)) for line in log_lines(workdir))
    changing = {"timestamp", "signature"}
    assert {k: v for k, v in first.items() if k not in changing} == \
        {k: v for k, v in second.items() if k not in changing}
    assert third["public_key"] != first["public_key"]


def test_letter_case_and_surrounding_white_space_of_the_seed(workdir, monkeypatch):
    for seed in (SEED.upper(), " \t" + SEED + "\n"):
        monkeypatch.setenv("ORVEX_SEED", seed)
        decide(*example_documents())
    assert [json.loads(line)["public_key"] for line in log_lines(workdir)] == [PUBLIC_KEY, PUBLIC_KEY]


# --- Seed failures reach the caller as PanicException ----------------------


@pytest.mark.parametrize("seed, expected", [
    (SEED[:63], "Invalid ORVEX_SEED; expected hex string.: OddLength"),
    ("0x" + SEED[:62], "Invalid ORVEX_SEED; expected hex string.: InvalidHexCharacter { c: 'x', index: 1 }"),
    ("\u00e9" + SEED[:62], "Invalid ORVEX_SEED; expected hex string.: InvalidHexCharacter { c: '\u00c3', index: 0 }"),
    (SEED[:62], "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())"),
    ("   ", "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())"),
    (os.fsdecode(b"ab\xff"), "Veltrane requires ORVEX_SEED for integrity.: NotUnicode(3 bytes, not UTF-8 at byte 2)"),
], ids=["odd", "prefix", "non-ascii", "short", "blank", "not-utf8"])
def test_malformed_seed(tmp_path, monkeypatch, seed, expected):
    monkeypatch.setenv("ORVEX_SEED", seed)
    monkeypatch.chdir(tmp_path)
    with pytest.raises(BaseException) as caught:
        orvex_core.validate_intent_json(*example_documents())
    assert type(caught.value).__name__ == "PanicException"
    assert str(caught.value) == expected
    assert not (tmp_path / LOG_NAME).exists()


# --- The file ---------------------------------------------------------------


def lost(reason):
    """The line on standard error for one record that did not reach the log."""
    return "orvex_core: audit record lost: %s: %s\n" % (LOG_NAME, reason)


def test_a_partial_line_costs_no_record(workdir, capfd):
    """The record that lands after a torn line ends it, and is written again
    on a line of its own."""
    (workdir / LOG_NAME).write_bytes(b"earlier\npartial")
    decide(*example_documents())
    decide(intent_text(), '{"params":{}}', '{"values":{}}')
    earlier, torn, first, second = log_lines(workdir)
    assert (earlier, torn) == ("earlier", "partial" + first)
    for line in (first, second):
        assert verifies(signed_text(raw_members(line)), raw_members(line))
    assert capfd.readouterr().err == ""


def test_directory_in_the_way_loses_the_record_and_says_so(workdir, capfd):
    (workdir / LOG_NAME).mkdir()
    assert decide(*example_documents()) == EXAMPLE_REASON
    assert decide(intent_text(), '{"params":{}}', '{"values":{}}') is True
    assert list((workdir / LOG_NAME).iterdir()) == []
    assert capfd.readouterr().err == lost("Is a directory") * 2


def test_full_device_loses_the_record_and_says_so(workdir, capfd):
    (workdir / LOG_NAME).symlink_to("/dev/full")
    assert decide(*example_documents()) == EXAMPLE_REASON
    assert capfd.readouterr().err == lost("No space left on device")


def decide_as_other_user(directory):
    """Decides the worked example in a forked child with `directory` as the
    working directory; returns (outcome, standard error of the child). Root
    may write anywhere, so under root the child gives up its privileges
    first."""
    read_end, write_end = os.pipe()
    error_read, error_write = os.pipe()
    pid = os.fork()
    if pid == 0:  # child: report the outcome through the pipe, never return
        try:
            os.close(read_end)
            os.close(error_read)
            os.dup2(error_write, 2)
            os.chdir(directory)
            if os.geteuid() == 0:
                os.setgid(65534)
                os.setuid(65534)
            outcome = decide(*example_documents())
            os.write(write_end, json.dumps(outcome).encode())
        finally:
            os._exit(0)
    os.close(write_end)
    os.close(error_write)
    with os.fdopen(read_end, "rb") as pipe, os.fdopen(error_read, "rb") as errors:
        reported = pipe.read()
        error_text = errors.read().decode()
    os.waitpid(pid, 0)
    return (json.loads(reported) if reported else None), error_text


def test_read_only_directory_loses_the_record_and_says_so(tmp_path, monkeypatch):
    monkeypatch.setenv("ORVEX_SEED", SEED)
    locked = tmp_path / "locked"
    locked.mkdir()
    locked.chmod(0o555)
    assert decide_as_other_user(locked) == (EXAMPLE_REASON, lost("Permission denied"))
    assert not (locked / LOG_NAME).exists()


def test_read_only_file_loses_the_record_and_says_so(tmp_path, monkeypatch):
    monkeypatch.setenv("ORVEX_SEED", SEED)
    tmp_path.chmod(0o777)
    (tmp_path / LOG_NAME).write_bytes(b"")
    (tmp_path / LOG_NAME).chmod(0o444)
    assert decide_as_other_user(tmp_path) == (EXAMPLE_REASON, lost("Permission denied"))
    assert (tmp_path / LOG_NAME).read_bytes() == b""


# One decision in a fresh interpreter, after `setup` (Python statements);
# prints the outcome. The child imports the very module under test.
DECIDE_IN_CHILD = textwrap.dedent("""
    import os, resource, signal, sys
    import orvex_core
    intent, action, state = sys.argv[1:4]
    exec(sys.argv[4])
    try:
        print(orvex_core.validate_intent_json(intent, action, state))
    except ValueError as denial:
        print(denial)
""")


def decide_in_child(workdir, setup="", timeout=60):
    """(outcome line, standard error) of the worked example decided in a new
    process in `workdir`, which must end within `timeout` seconds."""
    module_dir = os.path.dirname(os.path.abspath(orvex_core.__file__))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [module_dir, os.environ.get("PYTHONPATH")])))
    done = subprocess.run([sys.executable, "-c", DECIDE_IN_CHILD, *example_documents(), setup], cwd=workdir,
                          env=env, capture_output=True, timeout=timeout)
    assert done.returncode == 0, done.stderr
    return done.stdout.decode().strip(), done.stderr.decode()


def test_fifo_without_reader_loses_the_record_at_once(workdir):
    os.mkfifo(workdir / LOG_NAME)
    # A call that waited for a reader would never end; the timeout ends the test.
    assert decide_in_child(workdir, timeout=20) == (EXAMPLE_REASON, lost("No such device or address"))


# A log shipper's end of a FIFO: opened before any record, it says "ready",
# then passes on everything up to the given number of line feeds. It runs in
# its own process because the guard holds the interpreter lock while it waits
# for the reader.
FIFO_READER = textwrap.dedent("""
    import os, sys, time
    reader = os.open(sys.argv[1], os.O_RDONLY | os.O_NONBLOCK)
    os.set_blocking(reader, True)
    print("ready", flush=True)
    received, deadline = b"", time.monotonic() + 60
    while received.count(b"\\n") < int(sys.argv[2]) and time.monotonic() < deadline:
        chunk = os.read(reader, 65536)
        if chunk:
            received += chunk
        else:
            time.sleep(0.001)  # no writer at the moment
    sys.stdout.buffer.write(received)
""")


def test_fifo_with_a_reader_receives_whole_records(workdir, capfd):
    os.mkfifo(workdir / LOG_NAME)
    reader = subprocess.Popen([sys.executable, "-c", FIFO_READER, str(workdir / LOG_NAME), "2"],
                              stdout=subprocess.PIPE)
    assert reader.stdout.readline() == b"ready\n"
    # A record far larger than the pipe's buffer makes the write wait for the
    # reader several times.
    big_action = json.dumps({"params": {"amount": 150, "note": "x" * 300000}})
    assert decide(intent_text([("amount", "<=", 100)]), big_action, '{"values":{}}') == EXAMPLE_REASON
    assert decide(*example_documents()) == EXAMPLE_REASON
    received, _ = reader.communicate(timeout=60)
    lines = received.decode().split("\n")
    assert len(lines) == 3 and lines[2] == ""
    for line in lines[:2]:
        assert verifies(signed_text(raw_members(line)), raw_members(line))
    assert capfd.readouterr().err == ""


def test_short_write_loses_one_record_and_the_next_stays_whole(workdir):
    decide(*example_documents())
    size = (workdir / LOG_NAME).stat().st_size
    # The interpreter ignores SIGXFSZ, so the write past the limit stops short.
    setup = "resource.setrlimit(resource.RLIMIT_FSIZE, (%d, resource.RLIM_INFINITY))" % (size + 40)
    assert decide_in_child(workdir, setup) == (EXAMPLE_REASON, lost("File too large"))
    assert (workdir / LOG_NAME).stat().st_size == size + 40
    decide(*example_documents())
    first, torn, last = log_lines(workdir)
    assert torn[40:] == last
    for line in (first, last):
        assert verifies(signed_text(raw_members(line)), raw_members(line))


# In a private mount namespace: a 12 KiB file system, a filler of one page,
# decisions until one is lost; then the filler goes and one more is made.
FULL_DISK = textwrap.dedent("""
    import os, subprocess, sys
    import orvex_core
    intent, action, state, directory = sys.argv[1:5]
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=12k", "tmpfs", directory], check=True)
    os.chdir(directory)
    with open("filler", "wb") as filler:
        filler.write(b"f" * 4096)
    def decide():
        try:
            orvex_core.validate_intent_json(intent, action, state)
        except ValueError:
            pass
    for made in range(100):
        before = os.path.getsize("orvex_audit.log") if made else 0
        decide()
        with open("orvex_audit.log", "rb") as log:
            if not log.read().endswith(b"\\n") or os.path.getsize("orvex_audit.log") == before:
                break
    os.unlink("filler")
    decide()
    sys.stdout.buffer.write(open("orvex_audit.log", "rb").read())
""")


def test_full_file_system_loses_one_record_and_the_next_stays_whole(workdir):
    if shutil.which("unshare") is None or subprocess.run(["unshare", "-m", "true"]).returncode != 0:
        pytest.skip("no private mount namespace here")
    mount_point = workdir / "tiny"
    mount_point.mkdir()
    module_dir = os.path.dirname(os.path.abspath(orvex_core.__file__))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [module_dir, os.environ.get("PYTHONPATH")])))
    done = subprocess.run(["unshare", "-m", sys.executable, "-c", FULL_DISK, *example_documents(), str(mount_point)],
                          env=env, capture_output=True, timeout=120)
    if done.returncode != 0 and b"mount" in done.stderr:
        pytest.skip("tmpfs cannot be mounted here: " + done.stderr.decode())
    assert done.returncode == 0, done.stderr
    assert done.stderr.decode() == lost("No space left on device")
    lines = done.stdout.decode().split("\n")
    assert lines[-1] == ""
    *whole, torn, last = lines[:-1]
    # Unless the disk filled up exactly at a line's end, the lost record left
    # a torn line, which the last record ended before standing on its own.
    if not torn.endswith(last):
        whole.append(torn)
    else:
        assert torn != last
    for line in [*whole, last]:
        assert verifies(signed_text(raw_members(line)), raw_members(line))


def test_descriptor_limit_loses_the_record_and_says_so(workdir):
    setup = ("soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)\n"
             "resource.setrlimit(resource.RLIMIT_NOFILE, (0, hard))")
    assert decide_in_child(workdir, setup) == (EXAMPLE_REASON, lost("Too many open files"))
    assert not (workdir / LOG_NAME).exists()


WRITER = textwrap.dedent("""
    import sys
    import orvex_core
    writer, count, pad_base, pad_spread = sys.argv[1], *map(int, sys.argv[2:5])
    intent = ('{"id":"writer-%s","objective":"load","mode":"strict","version":"1",'
              '"constraints":[{"attribute":"n","operator":"<=","value":-1,"priority":0}]}' % writer)
    for n in range(count):
        action = '{"params":{"n":%d,"pad":"%s"}}' % (n, "x" * (pad_base + n % pad_spread))
        try:
            orvex_core.validate_intent_json(intent, action, '{"values":{}}')
        except ValueError:
            pass
""")


# Records of a few hundred bytes, and records of several pages, which the
# system copies into the file a page at a time: another writer looking at the
# end of the file meanwhile sees the middle of a record.
@pytest.mark.parametrize("count, pad_base, pad_spread", [(2000, 0, 300), (400, 4000, 9000)],
                         ids=["short", "multi-page"])
def test_concurrent_processes_never_interleave_lines(workdir, count, pad_base, pad_spread):
    writers = 4
    # The writers import the very module under test, wherever it was found.
    module_dir = os.path.dirname(os.path.abspath(orvex_core.__file__))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [module_dir, os.environ.get("PYTHONPATH")])))
    processes = [subprocess.Popen([sys.executable, "-c", WRITER, str(w), str(count), str(pad_base), str(pad_spread)], cwd=workdir, env=env)
                 for w in range(writers)]
    assert [p.wait(timeout=600) for p in processes] == [0] * writers

    lines = log_lines(workdir)
    assert len(lines) == writers * count
    seen = {w: [] for w in range(writers)}
    for line in lines:
        members = raw_members(line)
        assert [key for key, _ in members] == RECORD_ORDER
        assert verifies(signed_text(members), members), line
        record = json.loads(line)
        seen[int(record["intent_id"].split("-")[1])].append(record["action_params"]["n"])
    # Each writer's records arrive whole and in its own order.
    assert seen == {w: list(range(count)) for w in range(writers)}
