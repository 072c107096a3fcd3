"""A short tour of orvex_core: an agent asks the guard before each purchase,
every decision lands in a signed audit log that the orvex-audit command
verifies, and a project manifest gets a logic fingerprint that notices when
its weights change.

The signing seed used here is generated on the spot and thrown away: a real
deployment supplies its own in ORVEX_SEED and keeps it secret. Its public key is
kept, though, beside the log, so that the log can still be verified afterwards.

    python3 examples/agent_guard.py [DIRECTORY]

The demo works in DIRECTORY (created if missing; it must not hold an audit log
yet), or in a new directory under the system's temporary directory, and leaves
its files there: orvex_audit.log, tampered.log and audit.pub.
"""
import json
import os
import secrets
import shlex
import shutil
import subprocess
import sys
import tempfile

import orvex_core

LOG_NAME = "orvex_audit.log"
PUBLIC_KEY_NAME = "audit.pub"


def banner(title):
    print()
    print("== " + title)


def audit_command():
    """orvex-audit as installed with the module: beside this interpreter, or on PATH."""
    beside = os.path.join(os.path.dirname(sys.executable), "orvex-audit")
    if os.path.exists(beside):
        return beside
    found = shutil.which("orvex-audit")
    if found is None:
        sys.exit("orvex-audit is not installed; run `make install` first")
    return found


def run_shown(arguments):
    """Runs orvex-audit as a user would, shows the command and what it printed."""
    print("$ " + " ".join(["orvex-audit"] + arguments))
    done = subprocess.run([audit_command()] + arguments, capture_output=True, text=True)
    for line in (done.stdout + done.stderr).splitlines():
        print("  " + line)
    print("  (exit status %d)" % done.returncode)
    return done


def guard_demo():
    banner("The guard")
    os.environ["ORVEX_SEED"] = secrets.token_hex(32)
    print("using a throwaway ORVEX_SEED generated for this demo")

    # The intent: a daily spend cap, one allowed vendor, a limit per purchase.
    intent = json.dumps({
        "id": "intent-42",
        "objective": "Restock office supplies",
        "mode": "strict",
        "version": "1.2",
        "constraints": [
            {"attribute": "total_daily_spend", "operator": "<=", "value": 500, "priority": 1},
            {"attribute": "vendor", "operator": "==", "value": "vendor-9", "priority": 2},
            {"attribute": "amount", "operator": "<=", "value": 200, "priority": 3},
        ],
    })
    spent = 0
    purchases = [
        {"vendor": "vendor-9", "amount": 120},
        {"vendor": "vendor-7", "amount": 40},
        {"vendor": "vendor-9", "amount": 250},
        {"vendor": "vendor-9", "amount": 180},
        {"vendor": "vendor-9", "amount": 190},
        {"vendor": "vendor-9", "amount": 20},
    ]
    for params in purchases:
        action = json.dumps({"params": params})
        state = json.dumps({"values": {"current_spend": spent}})
        try:
            orvex_core.validate_intent_json(intent, action, state)
        except ValueError as denial:
            print("DENY  %-40s %s" % (json.dumps(params), denial))
        else:
            spent += params["amount"]
            print("ALLOW %-40s spend so far: %d" % (json.dumps(params), spent))

    with open(LOG_NAME, encoding="utf-8") as log:
        lines = log.read().splitlines()
    print("%d signed records in %s; the last one:" % (len(lines), os.path.abspath(LOG_NAME)))
    print("  " + lines[-1])

    try:
        orvex_core.validate_intent_json(intent, "{\"params\": {", "{\"values\": {}}")
    except ValueError as error:
        print("a malformed action is refused and not logged: %s" % error)


def audit_demo():
    banner("Checking the audit log")
    print("the operator pins the key where the guard runs ...")
    public_key = run_shown(["pubkey"]).stdout.strip()
    with open(PUBLIC_KEY_NAME, "w", encoding="utf-8") as kept:
        kept.write(public_key + "\n")
    print("... and anyone holding the log verifies every line against it:")
    if run_shown(["verify", "--public-key", public_key, LOG_NAME]).returncode != 0:
        sys.exit("the guard's own log did not verify")

    print("a copy whose first record was edited (amount 120 -> 1200) is caught:")
    with open(LOG_NAME, encoding="utf-8") as log:
        lines = log.read().splitlines(keepends=True)
    lines[0] = lines[0].replace('"amount":120', '"amount":1200', 1)
    with open("tampered.log", "w", encoding="utf-8") as copy:
        copy.writelines(lines)
    run_shown(["verify", "--public-key", public_key, "tampered.log"])


def fingerprint_demo():
    banner("The logic fingerprint")
    manifest = {
        "ModSurfaces": [{"Name": "pricing", "Weight": 0.7}, {"Name": "latency", "Weight": 0.3}],
        "WeightTables": [{"Key": "eu", "Value": 1.25}, {"Key": "us", "Value": 1}],
    }
    text = json.dumps(manifest)
    fingerprint = orvex_core.generate_logic_fingerprint(text)
    print("fingerprint:          %s" % fingerprint)
    reordered = json.dumps({"WeightTables": manifest["WeightTables"][::-1],
                            "ModSurfaces": manifest["ModSurfaces"][::-1]}, indent=2)
    print("same logic reordered: %s" % orvex_core.verify_logic_fingerprint(reordered, fingerprint))
    manifest["ModSurfaces"][0]["Weight"] = 0.71
    print("one weight changed:   %s" % orvex_core.verify_logic_fingerprint(json.dumps(manifest), fingerprint))
    try:
        orvex_core.generate_logic_fingerprint("{\"ModSurfaces\": []}")
    except ValueError as error:
        print("a broken manifest:    %s" % error)


def demo_directory(arguments):
    """The directory the demo leaves its files in: the one asked for, or a new one."""
    if len(arguments) > 1:
        sys.exit("usage: agent_guard.py [DIRECTORY]")
    if not arguments:
        return tempfile.mkdtemp(prefix="orvex-demo-")
    workdir = os.path.abspath(arguments[0])
    os.makedirs(workdir, exist_ok=True)
    # The demo's seed is new each run: an older log there holds another key and
    # would fail the pinned check.
    if os.path.lexists(os.path.join(workdir, LOG_NAME)):
        sys.exit("%s already holds %s; name another directory" % (workdir, LOG_NAME))
    return workdir


def main():
    workdir = demo_directory(sys.argv[1:])
    print("the demo works in %s and leaves its files there" % workdir)
    os.chdir(workdir)
    guard_demo()
    audit_demo()
    fingerprint_demo()
    banner("Where to look")
    print("the demo's files stay in %s:" % workdir)
    print("  %-16s the signed decisions, one JSON line each" % LOG_NAME)
    print("  %-16s the copy with one edited record" % "tampered.log")
    print("  %-16s the public key of the demo's throwaway seed" % PUBLIC_KEY_NAME)
    print("verify the log again with:")
    log = shlex.quote(os.path.join(workdir, LOG_NAME))
    key = shlex.quote(os.path.join(workdir, PUBLIC_KEY_NAME))
    print('  orvex-audit verify --public-key "$(cat %s)" %s' % (key, log))


if __name__ == "__main__":
    main()
