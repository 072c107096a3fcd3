#!/usr/bin/env python3
"""Decisions per second of orvex.Guard.reserve over its ledgers, side by side in one run.

A decision is one `with guard.reserve(params):` block with an empty body: the guard's call, the
reservation and its settle. Measured beside it:
- the bare orvex_core.validate_intent_json call (the guard alone, nothing booked);
- the floor of a durable decision on one host: the bare call plus one bare SQLite transaction
  that inserts one row (WAL, synchronous=FULL), with nothing else;
- SqliteLedger in 1 process, and in 4 processes at once on one budget (their total);
- PostgresLedger over loopback TCP, on a throwaway cluster that tests/postgres_server.py starts
  with the server's defaults (fsync on; each reservation waits for the server's log on disk),
  skipped with one line saying why where the server programs or psycopg are missing.

Rounds interleave the floor and the 1-process SqliteLedger block, and runs of 1 and of 4
processes alternate likewise; the figure held to each target is the median of the ratios of
each round's pair, so that a machine whose speed drifts moves both sides alike. Targets: SqliteLedger at most 1.5 times the floor's time per decision
in one process; 4 processes together at least as many decisions per second as one (no collapse
under contention); PostgresLedger at least 1,000 decisions per second on one budget. PASS or
MISS is printed; the exit status is 0 either way.

Each ledger is a row of LEDGERS below (a label, a function that opens the ledger in a scratch
directory, and an optional floor of decisions per second).
"""

import argparse
import json
import multiprocessing
import os
import statistics
import sqlite3
import sys
import tempfile
import time
from typing import Callable, List, NamedTuple, Optional

import orvex
import orvex_core
from machine import cpu_model, record_result

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests"))
from postgres_server import PostgresCluster, missing_reason  # noqa: E402

SEED_HEX = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
INTENT = json.dumps({"id": "bench", "objective": "o", "mode": "strict", "version": "1", "constraints": [
    {"attribute": "total_daily_spend", "operator": "<=", "value": 1e15, "priority": 1},
    {"attribute": "amount", "operator": "<=", "value": 100, "priority": 2},
    {"attribute": "vendor", "operator": "==", "value": "vendor-9", "priority": 3}]})
PARAMS = {"vendor": "vendor-9", "amount": 80}
ACTION = json.dumps({"params": PARAMS})
STATE = json.dumps({"values": {"current_spend": 1200}})
FLOOR_TARGET = 1.5
PROCESSES = 4


class LedgerRow(NamedTuple):
    label: str
    open: Callable[[str], orvex.Ledger]   # the scratch directory -> the ledger
    floor_per_second: Optional[float]     # a target of its own, when it has one


CLUSTERS: List[PostgresCluster] = []   # stopped at the end of the run


def open_postgres(scratch: str) -> orvex.Ledger:
    from orvex.postgres_ledger import PostgresLedger
    CLUSTERS.append(PostgresCluster(tcp=True, durable=True))
    return PostgresLedger(CLUSTERS[-1].dsn(tcp=True))


# The ledgers measured on their own rows, in one process.
LEDGERS: List[LedgerRow] = [
    LedgerRow("Guard.reserve, MemoryLedger", lambda scratch: orvex.MemoryLedger(), None),
    LedgerRow("Guard.reserve, SqliteLedger", lambda scratch: orvex.SqliteLedger(
        os.path.join(scratch, "ledger.db")), None),
    LedgerRow("Guard.reserve, PostgresLedger (loopback)", open_postgres, 1000.0),
]


def bare_calls(count: int, scratch: str) -> float:
    start = time.perf_counter()
    for _ in range(count):
        orvex_core.validate_intent_json(INTENT, ACTION, STATE)
    return time.perf_counter() - start


def floor_calls(count: int, scratch: str) -> float:
    """The bare call and one bare durable SQLite insert per decision."""
    connection = sqlite3.connect(os.path.join(scratch, "floor.db"), isolation_level=None)
    connection.execute("PRAGMA journal_mode=WAL")
    connection.execute("PRAGMA synchronous=FULL")
    connection.execute("CREATE TABLE IF NOT EXISTS floor (id TEXT PRIMARY KEY, amount REAL)")
    start = time.perf_counter()
    for _ in range(count):
        orvex_core.validate_intent_json(INTENT, ACTION, STATE)
        connection.execute("BEGIN")
        connection.execute("INSERT INTO floor VALUES (?, ?)", (os.urandom(16).hex(), 80.0))
        connection.execute("COMMIT")
    elapsed = time.perf_counter() - start
    connection.close()
    return elapsed


def guard_calls(guard: orvex.Guard, count: int) -> float:
    start = time.perf_counter()
    for _ in range(count):
        with guard.reserve(PARAMS):
            pass
    return time.perf_counter() - start


def worker(path: str, scratch: str, start_at: float, seconds: float, counts) -> None:
    os.chdir(scratch)
    guard = orvex.Guard(INTENT, orvex.SqliteLedger(path))
    while time.time() < start_at:
        time.sleep(0.001)
    done = 0
    while time.time() < start_at + seconds:
        with guard.reserve(PARAMS):
            pass
        done += 1
    counts.put(done)


def processes_rate(processes: int, scratch: str, seconds: float) -> float:
    """Decisions per second of `processes` processes together on one SqliteLedger and budget."""
    context = multiprocessing.get_context("fork")
    counts = context.Queue()
    path = os.path.join(scratch, "shared.db")
    orvex.SqliteLedger(path).close()
    start_at = time.time() + 0.5
    children = [context.Process(target=worker, args=(path, scratch, start_at, seconds, counts))
                for _ in range(processes)]
    for child in children:
        child.start()
    total = sum(counts.get() for _ in children)
    for child in children:
        child.join()
    return total / seconds


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--count", type=int, default=150, help="decisions per block")
    parser.add_argument("--seconds", type=float, default=1.0, help="length of a process run")
    parser.add_argument("--pairs", type=int, default=5, help="runs of 1 and of 4 processes")
    parser.add_argument("--summary", help="append the ratios as JSON lines to this file (used by bench/all.py)")
    args = parser.parse_args()
    os.environ["ORVEX_SEED"] = SEED_HEX
    skipped = missing_reason()
    measured = [row for row in LEDGERS if skipped is None or row.open is not open_postgres]
    try:
        run(args, measured)
    finally:
        for cluster in CLUSTERS:
            cluster.stop()
    if skipped is not None:
        print(f"PostgresLedger row skipped: {skipped}")


def run(args: argparse.Namespace, measured: List[LedgerRow]) -> None:
    with tempfile.TemporaryDirectory(dir=os.environ.get("ORVEX_BENCH_DIR")) as scratch:
        os.chdir(scratch)
        ledgers = [(row, row.open(scratch)) for row in measured]
        guards = [(row, orvex.Guard(INTENT, ledger)) for row, ledger in ledgers]
        sqlite_guard = guards[1][1]
        times = {name: [] for name in ["bare", "floor"] + [row.label for row, _ in guards]}
        ratios = []
        for _ in range(args.rounds):
            times["bare"].append(bare_calls(args.count, scratch))
            floor = floor_calls(args.count, scratch)
            sqlite = guard_calls(sqlite_guard, args.count)
            times["floor"].append(floor)
            ratios.append(sqlite / floor)
            for row, guard in guards:
                times[row.label].append(sqlite if guard is sqlite_guard else guard_calls(guard, args.count))
        rate = {name: args.count / statistics.median(values) for name, values in times.items()}
        # Pairs of runs, 1 process then 4, each pair's ratio held to the target.
        pairs = [(processes_rate(1, scratch, args.seconds), processes_rate(PROCESSES, scratch, args.seconds))
                 for _ in range(args.pairs)]
        one = statistics.median(p[0] for p in pairs)
        many = statistics.median(p[1] for p in pairs)
        scaling = statistics.median(p[1] / p[0] for p in pairs)
        for _, ledger in ledgers:
            ledger.close()

    print(f"CPU: {cpu_model()}")
    print(f"{'measure':<48} {'decisions/s':>12} {'us/decision':>12}")
    rows = [("bare validate_intent_json", rate["bare"]),
            ("floor: bare call + one SQLite insert (WAL, FULL)", rate["floor"])]
    rows += [(row.label, rate[row.label]) for row, _ in guards]
    rows += [("SqliteLedger, 1 process", one), (f"SqliteLedger, {PROCESSES} processes together", many)]
    for label, per_second in rows:
        print(f"{label:<48} {per_second:>12.0f} {1e6 / per_second:>12.1f}")
    ratio = statistics.median(ratios)
    verdicts = [("SqliteLedger time / floor time, 1 process", ratio, f"<= {FLOOR_TARGET}", ratio <= FLOOR_TARGET),
                (f"{PROCESSES} processes / 1 process, decisions/s", scaling, ">= 1", scaling >= 1)]
    for row, _ in guards:
        if row.floor_per_second is not None:   # bench/all.py tabulates ratios: rate / floor
            verdicts.append((f"{row.label}, decisions/s / {row.floor_per_second:g}",
                             rate[row.label] / row.floor_per_second, ">= 1",
                             rate[row.label] >= row.floor_per_second))
    for measure, value, target, passed in verdicts:
        print(f"{measure:<48} {value:>12.2f} target {target:<8} {'PASS' if passed else 'MISS'}")
        record_result(args.summary, "ledger", measure, value, target, passed)


if __name__ == "__main__":
    main()
