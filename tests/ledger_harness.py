"""The concurrency harness that every ledger runs: processes x threads of reserve / settle /
release against one ledger, then the invariants checked from the ledger's own rows and the
signed audit logs.

A ledger under test is a `LedgerUnderTest`: how to open it in any process (a URL, or None for
one that lives in a single process), and how to read all of its reservation rows. Adding a
backend is one more entry in the test files' factory lists.

Run as a script, this file is one worker process:
    ledger_harness.py URL THREADS ATTEMPTS CAP SEED OUTCOMES
in its own working directory (its own audit log); it prints the tally of its outcomes.
"""

import json
import random
import subprocess
import sys
import threading
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


def run_thread(guard, attempts, seed, outcomes, tally):
    rng = random.Random(seed)
    for _ in range(attempts):
        outcome = rng.choice(outcomes)
        try:
            with guard.reserve({"vendor": "v", "amount": rng.randint(5, 250)}) as booking:
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


def run_threads(ledger, threads, attempts, cap, seed, outcomes):
    """`attempts` shared out among `threads` threads sharing one guard over `ledger`; the tally
    of their outcomes."""
    guard = orvex.Guard(intent(cap), ledger, budget=BUDGET)
    tally = Counter()
    workers = [threading.Thread(target=run_thread,
                                args=(guard, attempts // threads + (n < attempts % threads),
                                      seed * 1000 + n, outcomes, tally))
               for n in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return tally


def run_processes(url, root, processes, threads, attempts, cap, outcomes, env):
    """`processes` worker processes of `attempts` each, in their own directories under `root`
    (the URL "memory" gives each its own MemoryLedger); their directories and tallies."""
    directories = [root / ("worker-%d" % n) for n in range(processes)]
    children, tallies = [], Counter()
    for n, directory in enumerate(directories):
        directory.mkdir()
        children.append(subprocess.Popen(
            [sys.executable, __file__, url, str(threads), str(attempts), str(cap), str(n),
             ",".join(outcomes)], cwd=directory, env=env, stdout=subprocess.PIPE, text=True))
    for child in children:
        out, _ = child.communicate(timeout=300)
        assert child.returncode == 0, out
        tallies.update(json.loads(out))
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


def check_invariants(under_test, ledger, day, cap, directories):
    """The day's totals within the cap and equal to the sums of the rows by state; every PASS
    in the logs with exactly one reservation of the same amount, and no reservation without
    its PASS. Returns the day's summary."""
    summary = ledger.day(BUDGET, day)
    assert summary.counted <= cap, summary
    rows = under_test.rows()
    by_state = {state: sum(a for a, s in rows if s == state)
                for state in (orvex.OPEN, orvex.SETTLED, orvex.RELEASED)}
    assert (summary.reserved, summary.settled, summary.released) == \
        (by_state[orvex.OPEN], by_state[orvex.SETTLED], by_state[orvex.RELEASED])
    assert len(summary.open) == sum(1 for _, s in rows if s == orvex.OPEN)
    assert sorted(pass_amounts(directories)) == sorted(a for a, _ in rows)
    return summary


def main(argv):
    url, threads, attempts, cap, seed, outcomes = argv[:6]
    with (orvex.MemoryLedger() if url == "memory" else orvex.open_ledger(url)) as ledger:
        tally = run_threads(ledger, int(threads), int(attempts), float(cap), int(seed),
                            tuple(outcomes.split(",")))
    print(json.dumps(tally))


if __name__ == "__main__":
    main(sys.argv[1:])
