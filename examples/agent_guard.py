"""A short tour of orvex_core: an agent asks the guard before each purchase,
every decision lands in a signed audit log, and a project manifest gets a
logic fingerprint that notices when its weights change.

The signing seed used here is generated on the spot and thrown away: a real
deployment supplies its own in ORVEX_SEED.
"""
import json
import os
import secrets
import tempfile

import orvex_core


def banner(title):
    print()
    print("== " + title)


def guard_demo():
    banner("The guard")
    os.environ["ORVEX_SEED"] = secrets.token_hex(32)
    print("using a throwaway ORVEX_SEED generated for this demo")

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

    with open("orvex_audit.log", encoding="utf-8") as log:
        lines = log.read().splitlines()
    print("%d signed records in %s; the last one:" % (len(lines), os.path.abspath("orvex_audit.log")))
    print("  " + lines[-1])

    try:
        orvex_core.validate_intent_json(intent, "{\"params\": {", "{\"values\": {}}")
    except ValueError as error:
        print("a malformed action is refused and not logged: %s" % error)


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


def main():
    with tempfile.TemporaryDirectory() as workdir:
        os.chdir(workdir)
        guard_demo()
        fingerprint_demo()


if __name__ == "__main__":
    main()
