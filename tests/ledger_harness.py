"""The concurrency harness that every ledger runs: processes x threads of reserve / settle /
release against one ledger, then the invariants checked from the ledger's own rows and the
signed audit logs.

A ledger under test is a `LedgerUnderTest`: how to open it in any process (a URL, or None for
one that lives in a single process), and how to read all of its reservation rows. Adding a
backend is one more entry in the test files' factory lists.

Run as a script, this file is one worker process, a host of its own:
    ledger_harness.py URL THREADS ATTEMPTS CAP SEED OUTCOMES
in its own working directory (its own audit log); ATTEMPTS 0 runs until a file named "stop"
appears there. It prints the tally of its outcomes and the ledger errors it met.
"""

import json
import random
import subprocess
import sys
import threading
import time
import os
from collections import Counter
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, List, Optional, Tuple

import orvex

# At most 250 a purchase, from one vendor, under a daily cap set per run.
def intent(cap):
    return {"id": "harness", "objective": "buy", "mode": "strict", "version": "1", "constraints": [
        {"attribute": "total_daily_spend", "operator": "<=", "value": cap, "priority": 0},
        {"attribute": "vendor", "operator": "==", "value": "v", "priority": 0},
        {"attribute": "amount", "operator": "<=", "value": 250, "priority": 0}]}


BUDGET = "harness"
# What a tool does with its booking: it succeeds (settle), gives the booking back (release) or
# raises (the block releases it).
SETTLE, RELEASE, RAISE = "settle", "release", "raise"
MIXED = (SETTLE,) * 3 + (RELEASE, RAISE)
PURCHASES = (SETTLE,)


class ToolFailure(Exception):
    pass


@dataclass
class LedgerUnderTest:
    name: str
    url: Optional[str]                               # None: usable by threads of one process
    open: Callable[[], orvex.Ledger]
    rows: Callable[[], List[Tuple[float, str]]]      # (amount, state) of every reservation
    sql: Optional[Callable[[str], list]]             # a statement run on its database


def run_thread(guard, attempts, seed, outcomes, tally, errors):
    rng, parent, done = random.Random(seed), os.getppid(), 0
    while done < attempts if attempts else not os.path.exists("stop"):
        if not attempts:
            time.sleep(0.005)
            if os.getppid() != parent:      # the test that started this worker is gone
                os._exit(1)
        done += 1
        outcome, amount = rng.choice(outcomes), rng.randint(5, 250)
        try:
            with guard.reserve({"vendor": "v", "amount": amount}) as booking:
                if outcome == RELEASE:
                    booking.release()
                elif outcome == RAISE:
                    raise ToolFailure()
            tally[outcome] += 1
        except orvex.Denied as denial:
            assert denial.kind == orvex.DAILY_SPEND, denial.reason
            tally["denied"] += 1
        except ToolFailure:
            tally[RAISE] += 1
        except orvex.LedgerError as error:
            # (when, text, the amount when the guard logged a PASS that was never booked)
            errors.append((time.time(), str(error), amount if "a PASS was logged" in str(error)
                           else None))


def run_threads(ledger, threads, attempts, cap, seed, outcomes):
    """`attempts` shared out among `threads` threads sharing one guard over `ledger`; the tally
    of their outcomes and the ledger errors met."""
    guard = orvex.Guard(intent(cap), ledger, budget=BUDGET)
    tally, errors = Counter(), []
    workers = [threading.Thread(target=run_thread,
                                args=(guard, attempts // threads + (n < attempts % threads),
                                      seed * 1000 + n, outcomes, tally, errors))
               for n in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return tally, errors


def start_processes(url, root, processes, threads, attempts, cap, outcomes, env):
    """`processes` worker processes of `attempts` each, in their own directories under `root`
    (the URL "memory" gives each its own MemoryLedger); [(directory, process)]."""
    started = []
    for n in range(processes):
        directory = root / ("worker-%d" % n)
        directory.mkdir()
        started.append((directory, subprocess.Popen(
            [sys.executable, __file__, url, str(threads), str(attempts), str(cap), str(n),
             ",".join(outcomes)], cwd=directory, env=env, stdout=subprocess.PIPE, text=True)))
    return started


def finish_processes(started):
    """Their directories, summed tallies and ledger errors, once every worker has ended."""
    tallies, errors = Counter(), []
    for directory, child in started:
        (directory / "stop").touch()
    for _, child in started:
        out, _ = child.communicate(timeout=300)
        assert child.returncode == 0, out
        tally, met = json.loads(out)
        tallies.update(tally)
        errors += met
    return [directory for directory, _ in started], tallies, errors


def run_processes(*args):
    directories, tallies, errors = finish_processes(start_processes(*args))
    assert errors == []
    return directories, tallies


class CapWatch:
    """Reads the day's totals over and over while the workers run: reserved + settled must
    never be above the cap at any moment a reader can see."""

    def __init__(self, ledger, day, cap):
        self.ledger, self.day, self.cap = ledger, day, cap
        self.highest, self.reads = 0.0, 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch)

    def _watch(self):
        while not self._stop.is_set():
            self.highest = max(self.highest, self.ledger.day(BUDGET, self.day).counted)
            self.reads += 1

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()


def pass_amounts(directories):
    """The amounts of every PASS in the audit logs of `directories`, each log verified first."""
    audit = Path(sys.executable).parent / "orvex-audit"
    amounts = []
    for directory in directories:
        log = directory / "orvex_audit.log"
        if not log.exists():
            continue
        checked = subprocess.run([str(audit), "verify", str(log)], capture_output=True, text=True)
        assert checked.returncode == 0, checked.stdout + checked.stderr
        for line in log.read_text().splitlines():
            record = json.loads(line)
            if record["result"] == "PASS":
                amounts.append(float(record["action_params"]["amount"]))
    return amounts


def check_invariants(under_test, ledger, day, cap, directories, unbooked=()):
    """The day's totals within the cap and equal to the sums of the rows by state; every PASS
    in the logs with exactly one reservation of the same amount, and no reservation without
    its PASS, but for the `unbooked` amounts: a PASS whose booking failed (the caller was
    told), with 0 or 1 rows. Returns the day's summary."""
    summary = ledger.day(BUDGET, day)
    assert summary.counted <= cap, summary
    rows = under_test.rows()
    by_state = {state: sum(a for a, s in rows if s == state)
                for state in (orvex.OPEN, orvex.SETTLED, orvex.RELEASED)}
    assert (summary.reserved, summary.settled, summary.released) == \
        (by_state[orvex.OPEN], by_state[orvex.SETTLED], by_state[orvex.RELEASED])
    assert len(summary.open) == sum(1 for _, s in rows if s == orvex.OPEN)
    passed, booked = Counter(pass_amounts(directories)), Counter(a for a, _ in rows)
    for amount in unbooked:
        assert passed[amount] - 1 <= booked[amount] <= passed[amount]
        passed[amount] -= 1
        booked[amount] = min(booked[amount], passed[amount])
    assert +passed == +booked
    return summary


def main(argv):
    url, threads, attempts, cap, seed, outcomes = argv[:6]
    with (orvex.MemoryLedger() if url == "memory" else orvex.open_ledger(url)) as ledger:
        outcome = run_threads(ledger, int(threads), int(attempts), float(cap), int(seed),
                              tuple(outcomes.split(",")))
    print(json.dumps(outcome))


if __name__ == "__main__":
    main(sys.argv[1:])
