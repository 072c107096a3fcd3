#!/usr/bin/env python3
"""Per-call time of orvex_core.validate_intent_json against its floor.

The guard is called on small documents, once with an action it allows and
once with one it denies, with ORVEX_SEED set and the audit log written to a
fresh temporary working directory. The floor is the program guard_floor
(bench/guard_floor.cc): Ed25519 key pair from the seed, signature of the
signed text, open/write/close of one line, with nothing else. It is given the
signed text rebuilt from a real line that the guard wrote for the same
decision (checked against that line's signature first), so both sign and
write the same number of bytes.

Rounds interleave guard-allowed, floor-allowed, guard-denied, floor-denied,
so that machine noise hits all four. Each round's guard block is compared
with the floor block run right after it, and the median of those paired
ratios is the figure held to the target: on a shared machine whose speed
drifts by half within a minute, a ratio of two blocks a few milliseconds
apart still holds, where a ratio of two medians taken over the whole run
moves with the drift. Each round
also times the floor's file work alone (--io-only), plainly and as the
guard does it (--checked-open), to price the checks that keep a FIFO without a reader from
blocking and a record whole after a partial line; that figure is printed,
not a target. Target: the
guard takes at most 1.15 times the floor. PASS or MISS is printed; the exit
status is 0 either way.

The floor program is built when missing or older than its source, in
build/bench (configured with ORVEX_BUILD_BENCH=ON, ORVEX_BUILD_MODULE=OFF).
"""

import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

import orvex_core
from machine import cpu_model, record_result

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD_DIR = os.path.join(ROOT, "build", "bench")
FLOOR_SOURCE = os.path.join(ROOT, "bench", "guard_floor.cc")
FLOOR_PROGRAM = os.path.join(BUILD_DIR, "guard_floor")
LOG_NAME = "orvex_audit.log"
RATIO_TARGET = 1.15
# The seed of RFC 8032's first test vector; any seed costs the same.
SEED_HEX = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
# Members of a record that the signature covers, in the record's order.
SIGNED_MEMBERS = ("timestamp", "intent_id", "objective", "mode", "version", "action_params", "result", "reason")

INTENT = json.dumps({
    "id": "intent-42",
    "objective": "Restock office supplies",
    "mode": "strict",
    "version": "1.2",
    "constraints": [
        {"attribute": "total_daily_spend", "operator": "<=", "value": 5000, "priority": 1},
        {"attribute": "amount", "operator": "<=", "value": 100, "priority": 2},
        {"attribute": "currency", "operator": "==", "value": "EUR", "priority": 3},
        {"attribute": "vendor", "operator": "==", "value": "vendor-9", "priority": 4},
    ],
})
ACTIONS = {
    "allowed": json.dumps({"params": {"vendor": "vendor-9", "amount": 80, "currency": "EUR"}}),
    "denied": json.dumps({"params": {"vendor": "vendor-9", "amount": 150, "currency": "EUR"}}),
}
STATE = json.dumps({"values": {"current_spend": 1200, "day": "2026-03-01"}})


def ensure_floor_program():
    if os.path.exists(FLOOR_PROGRAM) and os.path.getmtime(FLOOR_PROGRAM) >= os.path.getmtime(FLOOR_SOURCE):
        return
    steps = []
    if not os.path.exists(os.path.join(BUILD_DIR, "CMakeCache.txt")):
        steps.append(["cmake", "-S", ROOT, "-B", BUILD_DIR, "-DORVEX_BUILD_BENCH=ON", "-DORVEX_BUILD_MODULE=OFF",
                      "-DCMAKE_BUILD_TYPE=Release"])
    steps.append(["cmake", "--build", BUILD_DIR, "-j2", "--target", "guard_floor"])
    for step in steps:
        completed = subprocess.run(step, capture_output=True, text=True)
        if completed.returncode != 0:
            sys.stderr.write(completed.stdout + completed.stderr)
            sys.exit(f"cannot build the floor program: {' '.join(step)}")


def call_guard(action):
    """One guard call as a caller makes it: True, or the denial's text."""
    try:
        return orvex_core.validate_intent_json(INTENT, action, STATE)
    except ValueError as denial:
        return str(denial)


def signed_text_of_last_line():
    """The signed text rebuilt from the last record in the log: its eight
    signed members, keys in ascending order, compact. The line's own
    signature must verify over it, or the floor would sign something else."""
    with open(LOG_NAME, encoding="utf-8") as log:
        line = log.read().splitlines()[-1]
    record = json.loads(line)
    signed = {name: record[name] for name in SIGNED_MEMBERS}
    text = json.dumps(signed, sort_keys=True, separators=(",", ":"), ensure_ascii=False)
    try:
        from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PublicKey
    except ImportError:
        print("(cryptography is not installed: the rebuilt signed text is not checked)")
        return text, len(line.encode("utf-8")) + 1
    public_key = Ed25519PublicKey.from_public_bytes(bytes.fromhex(record["public_key"]))
    public_key.verify(bytes.fromhex(record["signature"]), text.encode("utf-8"))  # raises on a mismatch
    return text, len(line.encode("utf-8")) + 1


def time_guard(action, calls):
    # Each round starts a fresh log, as each floor run does.
    if os.path.exists(LOG_NAME):
        os.unlink(LOG_NAME)
    start = time.perf_counter_ns()
    for _ in range(calls):
        call_guard(action)
    return (time.perf_counter_ns() - start) / calls


def time_floor(text_file, iterations, work_base, *options):
    completed = subprocess.run([FLOOR_PROGRAM, "--iterations", str(iterations), "--text-file", text_file, *options],
                               check=True, capture_output=True, text=True, env=dict(os.environ, TMPDIR=work_base))
    fields = dict(item.split("=", 1) for item in completed.stdout.split())
    return float(fields["ns_per_iteration"]), int(fields["line_bytes"])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--calls", type=int, default=500, help="calls (and floor iterations) per timed block")
    parser.add_argument("--rounds", type=int, default=41, help="timed blocks of each of the four kinds")
    parser.add_argument("--summary", help="append the ratios as JSON lines to this file (used by bench/all.py)")
    args = parser.parse_args()

    ensure_floor_program()
    print(f"CPU: {cpu_model()}; Python {platform.python_version()}; orvex_core from {orvex_core.__file__}")

    os.environ["ORVEX_SEED"] = SEED_HEX
    home = os.getcwd()
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        try:
            text_files, line_bytes = {}, {}
            for kind, action in ACTIONS.items():
                outcome = call_guard(action)
                expected_allowed = kind == "allowed"
                if (outcome is True) != expected_allowed:
                    sys.exit(f"the {kind} action gave {outcome!r}")
                text, line_bytes[kind] = signed_text_of_last_line()
                text_files[kind] = os.path.join(work, f"signed_{kind}.json")
                with open(text_files[kind], "w", encoding="utf-8") as signed_file:
                    signed_file.write(text)
            for action in ACTIONS.values():  # warm-up
                time_guard(action, max(1, args.calls // 10))

            samples = {(who, kind): [] for kind in ACTIONS for who in ("guard", "floor", "io", "checked io")}
            for _ in range(args.rounds):
                for kind, action in ACTIONS.items():
                    samples["guard", kind].append(time_guard(action, args.calls))
                    floor_ns, floor_line = time_floor(text_files[kind], args.calls, work)
                    if floor_line != line_bytes[kind]:
                        sys.exit(f"floor line of {floor_line} bytes, guard line of {line_bytes[kind]}")
                    samples["floor", kind].append(floor_ns)
                    for who, options in (("io", ["--io-only"]), ("checked io", ["--io-only", "--checked-open"])):
                        samples[who, kind].append(time_floor(text_files[kind], args.calls, work, *options)[0])
        finally:
            os.chdir(home)

    print(f"{args.rounds} interleaved rounds of {args.calls} calls; median (min..max) per call")
    for kind in ACTIONS:
        medians = {who: statistics.median(samples[who, kind]) for who in ("guard", "floor")}
        print(f"  {kind} ({line_bytes[kind]}-byte record line)")
        for who in ("guard", "floor"):
            values = samples[who, kind]
            print(f"    {who:<6} {medians[who] / 1e3:8.2f} us  ({min(values) / 1e3:.2f}..{max(values) / 1e3:.2f})")
        ratio = statistics.median(guard / floor for guard, floor in zip(samples["guard", kind], samples["floor", kind]))
        overhead = (medians["guard"] - medians["floor"]) / 1e3
        fastest = min(samples["guard", kind]) / min(samples["floor", kind])
        print(f"    guard/floor {ratio:.3f}x, median of the rounds' paired ratios (ratio of medians "
              f"{medians['guard'] / medians['floor']:.3f}x, of the fastest blocks {fastest:.3f}x; "
              f"guard spends {overhead:+.2f} us more)")
        print(f"    target <= {RATIO_TARGET}x   {'PASS' if ratio <= RATIO_TARGET else 'MISS'}")
        # The file work alone, plain and as the guard does it (read access,
        # no waiting on opening, the byte before the record read back).
        io, checked = (statistics.median(samples[who, kind]) for who in ("io", "checked io"))
        print(f"    file work alone {io / 1e3:.2f} us, checked as the guard does {checked / 1e3:.2f} us: "
              f"the FIFO and partial-line checks cost {(checked - io) / 1e3:+.2f} us per record")
        record_result(args.summary, "guard", f"{kind} call: guard time / floor time", ratio,
                      f"<= {RATIO_TARGET}x", ratio <= RATIO_TARGET)


if __name__ == "__main__":
    main()
