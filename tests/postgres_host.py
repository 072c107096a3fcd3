"""One simulated host of a fleet sharing a PostgresLedger: a process started
by the tests in its own working directory (hence its own signed audit log).

    python postgres_host.py '{"mode": "run", "dsn": ..., ...}'

Modes:
  run    `threads` threads make decisions on `budget` until `attempts` each
         are done, or, when `attempts` is 0, until a file named "stop"
         appears; prints one JSON summary line at the end.
  hold   books one reservation, prints "held ID" and sleeps (to be killed).
  stall  takes the day's lock, prints "locked" and sleeps inside the step
         (to be killed while holding the lock).

A decision asks orvex_core.validate_intent_json with the day's counted total
as {"values": {"current_spend": total}}, as the Guard does.
"""

import json
import os
import random
import sys
import threading
import time

import orvex_core
from orvex import LedgerError
from orvex.postgres_ledger import PostgresLedger

DAY = "2026-03-01"
STOP_FILE = "stop"


def intent(cap):
    return json.dumps({"id": "fleet", "objective": "buy", "mode": "strict", "version": "1",
                       "constraints": [{"attribute": "total_daily_spend", "operator": "<=",
                                        "value": cap, "priority": 0}]})


def decider(intent_text, amount):
    action = json.dumps({"params": {"amount": amount}})

    def decide(total):
        orvex_core.validate_intent_json(intent_text, action,
                                        json.dumps({"values": {"current_spend": total}}))
    return decide


def run(config, ledger):
    intent_text = intent(config["cap"])
    summary = {"pass": 0, "deny": 0, "errors": [], "unbooked": []}
    lock = threading.Lock()
    parent = os.getppid()

    def worker(thread):
        rng = random.Random(config["host"] * 100 + thread)
        attempt = 0
        while (attempt < config["attempts"]) if config["attempts"] else not os.path.exists(STOP_FILE):
            if os.getppid() != parent:  # the test that started this host is gone
                os._exit(1)
            attempt += 1
            # Unique amounts tie each PASS in the log to its one reservation row.
            serial = (config["host"] * 100 + thread) * 100000 + attempt
            amount = rng.randint(5, 250) + serial / 1e9
            try:
                booking = ledger.reserve(config["budget"], DAY, amount,
                                         decider(intent_text, amount))
            except ValueError:
                with lock:
                    summary["deny"] += 1
                continue
            except LedgerError as error:
                with lock:
                    summary["errors"].append([time.time(), str(error)])
                    if "a PASS was logged" in str(error):
                        summary["unbooked"].append(amount)
                time.sleep(0.02)
                continue
            with lock:
                summary["pass"] += 1
            # The tool: most fail (their amount is released), so that room stays free.
            try:
                if rng.random() < config["settle_share"]:
                    ledger.settle(booking.id)
                else:
                    ledger.release(booking.id)
            except LedgerError as error:
                with lock:
                    summary["errors"].append([time.time(), str(error)])

    threads = [threading.Thread(target=worker, args=(n,)) for n in range(config["threads"])]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print(json.dumps(summary), flush=True)


def main():
    config = json.loads(sys.argv[1])
    ledger = PostgresLedger(config["dsn"])
    if config["mode"] == "run":
        run(config, ledger)
    elif config["mode"] == "hold":
        booking = ledger.reserve(config["budget"], DAY, config["amount"],
                                 decider(intent(config["cap"]), config["amount"]))
        print("held", booking.id, flush=True)
        time.sleep(3600)
    elif config["mode"] == "stall":
        def stall(total):
            print("locked", flush=True)
            time.sleep(3600)
        ledger.reserve(config["budget"], DAY, config["amount"], stall)


if __name__ == "__main__":
    main()
