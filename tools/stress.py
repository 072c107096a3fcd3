"""A million calls into orvex_core in one process, mixing valid and
malformed documents and manifests, wrong argument types, lone surrogates
and a missing seed. Every call's outcome is checked; the resident memory
(VmRSS) is printed at intervals. Flat memory after the warm-up is the pass
mark: the exit status is 1 if it grew by more than --max-growth-kib.

    python tools/stress.py [--calls 1000000] [--every 50000]

Runs in a scratch working directory (the audit log is removed now and
then so the disk does not fill). Standard error is sent to /dev/null for
the run, since every missing-seed call writes a diagnostic there.
"""

import argparse
import json
import os
import sys
import tempfile
import time

import orvex_core

SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
LOG_NAME = "orvex_audit.log"
LOG_REMOVAL_INTERVAL = 20_000
# Every this many calls runs with the seed unset, through the abort path.
PANIC_INTERVAL = 16


def vmrss_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS in /proc/self/status")


def intent(*constraints, objective="Cut costs"):
    return json.dumps({"id": "i-1", "objective": objective, "mode": "strict", "version": "1.0",
                       "constraints": [list(c) for c in constraints]})


def action(**params):
    return json.dumps({"params": params})


def state(**values):
    return json.dumps({"values": values})


MANIFEST = json.dumps({
    "ModSurfaces": [{"Name": "b", "Weight": 2}, {"Name": "a", "Weight": 0.5}, {"Name": "\u00e9", "Weight": -0.0}],
    "WeightTables": [{"Key": "k", "Value": 1e21}, {"Key": "x:y;z", "Value": 0.0078125}],
})
MANIFEST_ARRAY_FORM = json.dumps([[["b", 2], ["a", 0.5]], [["k", 1]]])
NESTED = json.dumps({"params": {"deep": [[[[{"a": [1, 2.5, None, True, "x"]}]]]], "amount": 5}})


class Panic:
    """Marks an expected PanicException (a BaseException, not a module attribute)."""


# (function, arguments, expected): expected is True/False, a fingerprint
# length (int), an exception type, a ValueError text prefix (str), or Panic.
def cases():
    spend = ("total_daily_spend", "<=", 100, 0)
    return [
        # decisions: allowed and each kind of denial
        (orvex_core.validate_intent_json, (intent(), action(), state()), True),
        (orvex_core.validate_intent_json, (intent(("amount", "<=", 100, 1)), action(amount=50), state()), True),
        (orvex_core.validate_intent_json, (intent(("amount", "<=", 100, 1)), action(amount=150), state()),
         "Constraint violation: amount <= Number(100)"),
        (orvex_core.validate_intent_json, (intent(("region", "==", {"b": [1], "a": "eu"}, 0)), action(region=1),
                                           state()), "Constraint violation: region == Object {"),
        (orvex_core.validate_intent_json, (intent(("amount", "<=", 1, 0)), action(), state()),
         "Missing required attribute: amount"),
        (orvex_core.validate_intent_json, (intent(("amount", "<", 1, 0)), action(amount=0), state()),
         "Unsupported operator: <"),
        (orvex_core.validate_intent_json, (intent(spend), action(amount=60), state(current_spend=40.5)),
         "Dynamic Violation: Total spend would reach 100.5"),
        (orvex_core.validate_intent_json, (intent(objective={"z": [1, None]}), NESTED, state()), True),
        # malformed documents: nothing is logged
        (orvex_core.validate_intent_json, ("{", action(), state()), "Invalid Intent JSON: EOF while parsing"),
        (orvex_core.validate_intent_json, (intent(), '{"params":[1,]}', state()), "Invalid Action JSON: "),
        (orvex_core.validate_intent_json, (intent(), action(), '{"values":{},"values":{}}'),
         "Invalid State JSON: duplicate field `values`"),
        (orvex_core.validate_intent_json, ('{"id":1}', "", ""), "Invalid Intent JSON: invalid type: integer `1`"),
        (orvex_core.validate_intent_json, ("[" * 200, action(), state()),
         "Invalid Intent JSON: invalid type: sequence"),
        (orvex_core.validate_intent_json, ('{"x":' + "[" * 500 + "]" * 500 + "}", action(), state()),
         "Invalid Intent JSON: missing field `id`"),
        (orvex_core.validate_intent_json, ("\ufeff{}", action(), state()), "Invalid Intent JSON: expected value"),
        # the boundary: wrong types, wrong arity, lone surrogates
        (orvex_core.validate_intent_json, (1, action(), state()), TypeError),
        (orvex_core.validate_intent_json, (intent(), action()), TypeError),
        (orvex_core.validate_intent_json, (intent(), b"{}", state()), TypeError),
        (orvex_core.validate_intent_json, ('{"id":"\ud800"}', action(), state()), UnicodeEncodeError),
        (orvex_core.validate_intent_json, (intent(objective="\ud800"), action(), state()),
         "Invalid Intent JSON: unexpected end of hex escape"),
        # fingerprints
        (orvex_core.generate_logic_fingerprint, (MANIFEST,), 64),
        (orvex_core.generate_logic_fingerprint, (MANIFEST_ARRAY_FORM,), 64),
        (orvex_core.generate_logic_fingerprint, ('{"ModSurfaces":[]}',),
         "Invalid ProjectManifest JSON: missing field `WeightTables`"),
        (orvex_core.generate_logic_fingerprint, ('{"ModSurfaces":[{"Name":"a","Weight":"3"}],"WeightTables":[]}',),
         "Invalid ProjectManifest JSON: invalid type: string \"3\", expected f64"),
        (orvex_core.generate_logic_fingerprint, ("1e999",), "Invalid ProjectManifest JSON: number out of range"),
        (orvex_core.generate_logic_fingerprint, (None,), TypeError),
        (orvex_core.verify_logic_fingerprint, (MANIFEST, "0" * 64), False),
        (orvex_core.verify_logic_fingerprint, ("[[],[]]", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"), True),
        (orvex_core.verify_logic_fingerprint, ("[[]]", ""),
         "Invalid ProjectManifest JSON: invalid length 1, expected struct ProjectManifest with 2 elements"),
        (orvex_core.verify_logic_fingerprint, (MANIFEST, 5), TypeError),
    ]


def check(function, args, expected):
    try:
        result = function(*args)
    except BaseException as error:  # PanicException is not an Exception
        if expected is Panic:
            if type(error).__name__ != "PanicException":
                raise AssertionError(f"{function.__name__}{args!r}: {error!r}, wanted PanicException") from error
        elif isinstance(expected, type):
            if not isinstance(error, expected):
                raise AssertionError(f"{function.__name__}{args!r}: {error!r}, wanted {expected}") from error
        elif isinstance(expected, str):
            if type(error) is not ValueError or not str(error).startswith(expected):
                raise AssertionError(f"{function.__name__}{args!r}: {error!r}, wanted {expected!r}") from error
        else:
            raise
        return
    if isinstance(expected, bool):
        ok = result is expected
    elif isinstance(expected, int):
        ok = isinstance(result, str) and len(result) == expected
    else:
        ok = False
    if not ok:
        raise AssertionError(f"{function.__name__}{args!r} returned {result!r}, wanted {expected!r}")


def run(options, table, panic_case):
    """Makes the calls; returns the VmRSS after the warm-up (None if the run
    is shorter) and the largest reading after it."""
    baseline = None
    peak_after_warm_up = 0
    with tempfile.TemporaryDirectory(prefix="orvex-stress-") as scratch:
        os.chdir(scratch)
        os.environ["ORVEX_SEED"] = SEED
        start = time.monotonic()
        print(f"{'calls':>9} {'VmRSS KiB':>10} {'since warm-up':>14} {'seconds':>8}", flush=True)
        print(f"{0:>9} {vmrss_kib():>10} {'':>14} {0.0:>8.1f}", flush=True)
        for n in range(1, options.calls + 1):
            if n % PANIC_INTERVAL == 0:
                del os.environ["ORVEX_SEED"]
                check(*panic_case)
                os.environ["ORVEX_SEED"] = SEED
            else:
                check(*table[n % len(table)])
            if n % LOG_REMOVAL_INTERVAL == 0 and os.path.exists(LOG_NAME):
                os.remove(LOG_NAME)
            if n == options.warm_up:
                baseline = vmrss_kib()
            if n % options.every == 0:
                rss = vmrss_kib()
                growth = ""
                if baseline is not None:
                    growth = f"{rss - baseline:+d}"
                    peak_after_warm_up = max(peak_after_warm_up, rss)
                print(f"{n:>9} {rss:>10} {growth:>14} {time.monotonic() - start:>8.1f}", flush=True)
        os.chdir("/")
    return baseline, peak_after_warm_up


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=1_000_000)
    parser.add_argument("--every", type=int, default=50_000, help="print VmRSS after this many calls")
    parser.add_argument("--warm-up", type=int, default=100_000, help="calls before the baseline reading")
    parser.add_argument("--max-growth-kib", type=int, default=1024)
    options = parser.parse_args()

    panic_case = (orvex_core.validate_intent_json, (intent(), action(), state()), Panic)
    saved_stderr = os.dup(2)
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 2)
    try:
        baseline, peak_after_warm_up = run(options, cases(), panic_case)
    finally:
        # A failed check's traceback must be seen.
        os.dup2(saved_stderr, 2)

    if baseline is None:
        print("too few calls for a baseline; no verdict")
        return 0
    growth = peak_after_warm_up - baseline
    verdict = "flat" if growth <= options.max_growth_kib else "GROWING"
    print(f"{verdict}: peak {peak_after_warm_up} KiB, {growth:+d} KiB over the reading after {options.warm_up} calls")
    return 0 if verdict == "flat" else 1


if __name__ == "__main__":
    sys.exit(main())
