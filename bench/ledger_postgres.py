#!/usr/bin/env python3
"""Decisions per second of PostgresLedger on one budget, beside the bare guard call.

A throwaway PostgreSQL cluster is started with the server's defaults (fsync
on; a reservation commits with synchronous_commit on, as PostgresLedger asks)
through tests/postgres_server.py, which the tests use too. Measured, side by
side in one run, in 1 and in 4 processes:

  bare      orvex_core.validate_intent_json, nothing else
  unix      PostgresLedger over the Unix socket: reserve (lock the day's row,
            the guard call, book, commit) then settle, one decision
  loopback  the same over TCP on 127.0.0.1

Every process decides on the same budget and day, so the 4-process rows
measure the decisions' turns on one row lock. Rounds interleave the six
kinds so that machine noise hits them all; each figure is the median over
the rounds. Target: PostgresLedger at least 1,000 decisions per second on one
budget (PASS or MISS is printed; the exit status is 0 either way).
"""

import argparse
import json
import multiprocessing
import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests"))

from machine import cpu_model, record_result  # noqa: E402
from postgres_server import PostgresCluster, missing_reason  # noqa: E402

TARGET = 1000.0
SEED_HEX = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
DAY = "2026-03-01"
INTENT = json.dumps({
    "id": "intent-42", "objective": "Restock office supplies", "mode": "strict", "version": "1.2",
    "constraints": [
        {"attribute": "total_daily_spend", "operator": "<=", "value": 1e15, "priority": 1},
        {"attribute": "amount", "operator": "<=", "value": 100, "priority": 2},
    ],
})
ACTION = json.dumps({"params": {"amount": 1}})
KINDS = [("bare", None), ("unix", False), ("loopback", True)]
PROCESSES = (1, 4)


def decide(total):
    import orvex_core
    orvex_core.validate_intent_json(INTENT, ACTION, json.dumps({"values": {"current_spend": total}}))


def worker(dsn, start, seconds, results):
    """Decides from `start` for `seconds`; puts the number of decisions made."""
    ledger = None
    if dsn is not None:
        from orvex.postgres_ledger import PostgresLedger
        ledger = PostgresLedger(dsn)
        ledger.day("bench", DAY)  # connects and makes the tables before the clock starts
    time.sleep(max(0.0, start - time.time()))
    end, done = start + seconds, 0
    while time.time() < end:
        if ledger is None:
            decide(0.0)
        else:
            ledger.settle(ledger.reserve("bench", DAY, 1, decide).id)
        done += 1
    results.put(done)
    if ledger is not None:
        ledger.close()


def rate(context, dsn, processes, seconds):
    results = context.Queue()
    start = time.time() + 1.0  # every process is ready to go
    workers = [context.Process(target=worker, args=(dsn, start, seconds, results))
               for _ in range(processes)]
    for process in workers:
        process.start()
    total = sum(results.get(timeout=seconds + 60) for _ in workers)
    for process in workers:
        process.join()
    return total / seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seconds", type=float, default=2.0, help="length of one timed block")
    parser.add_argument("--rounds", type=int, default=3, help="timed blocks of each kind")
    parser.add_argument("--summary", help="append the figures as JSON lines to this file")
    args = parser.parse_args()
    reason = missing_reason()
    if reason is not None:
        print("ledger_postgres: skipped: " + reason)
        return
    os.environ["ORVEX_SEED"] = SEED_HEX
    context = multiprocessing.get_context("spawn")
    cluster = PostgresCluster(tcp=True, durable=True)
    figures = {}
    try:
        with tempfile.TemporaryDirectory() as scratch:
            os.chdir(scratch)  # the audit log of every decision goes here
            for _ in range(args.rounds):
                for kind, tcp in KINDS:
                    dsn = None if tcp is None else cluster.dsn(tcp=tcp)
                    for processes in PROCESSES:
                        figures.setdefault((kind, processes), []).append(
                            rate(context, dsn, processes, args.seconds))
            os.chdir(HERE)
    finally:
        cluster.stop()

    print("CPU: %s (%d cores)" % (cpu_model(), os.cpu_count() or 0))
    print("%-9s %9s %14s %10s  %-10s %s" % ("kind", "processes", "decisions/s", "vs bare",
                                            "target", "result"))
    for (kind, processes), rates in figures.items():
        value = statistics.median(rates)
        bare = statistics.median(figures[("bare", processes)])
        if kind == "bare":
            print("%-9s %9d %14.0f %10s" % (kind, processes, value, ""))
            continue
        passed = value >= TARGET
        print("%-9s %9d %14.0f %9.2fx  %-10s %s" % (kind, processes, value, value / bare,
                                                   ">= %d/s" % TARGET, "PASS" if passed else "MISS"))
        # bench/all.py tabulates ratios: this one is the rate over the target's.
        record_result(args.summary, "ledger_pg",
                      "PostgresLedger %s, %d process(es): decisions/s / %d" % (kind, processes,
                                                                               TARGET),
                      value / TARGET, ">= 1.00", passed)


if __name__ == "__main__":
    main()
