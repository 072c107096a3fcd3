"""The ledgers under threads, processes, kills and failures: the cap holds, and every PASS in
the logs has exactly one reservation."""

import asyncio
import contextlib
import os
import signal
import sqlite3
import subprocess
import sys
import threading
import time

import pytest

import orvex
from ledger_harness import (BUDGET, MIXED, PURCHASES, CapWatch, LedgerUnderTest, check_invariants,
                            intent, pass_amounts, run_processes, run_threads)


def memory_ledger(tmp_path):
    ledger = orvex.MemoryLedger()
    return LedgerUnderTest("memory", None, lambda: ledger,
                           lambda: [(r.amount, r.state) for r in ledger._reservations.values()])


def sqlite_ledger(tmp_path):
    path = tmp_path / "ledger.db"

    def rows():
        with contextlib.closing(sqlite3.connect(path)) as connection:
            return connection.execute("SELECT amount, state FROM orvex_reservation").fetchall()
    return LedgerUnderTest("sqlite", "sqlite:///%s" % path, lambda: orvex.SqliteLedger(path), rows)


FACTORIES = [memory_ledger, sqlite_ledger]
SHARED = [factory for factory in FACTORIES if factory.__name__ != "memory_ledger"]


@pytest.mark.parametrize("factory", FACTORIES, ids=lambda f: f.__name__)
def test_threads_hold_the_cap(workdir, factory):
    under_test = factory(workdir)
    with under_test.open() as ledger:
        guard = orvex.Guard(intent(5000), ledger, budget=BUDGET)
        with CapWatch(ledger, guard.today(), 5000) as watch:
            tally = run_threads(ledger, 8, 200, 5000, 1, MIXED)
        assert watch.highest <= 5000 and watch.reads > 0
        assert tally["denied"] > 0 and tally["release"] > 0 and tally["raise"] > 0
        check_invariants(under_test, ledger, guard.today(), 5000, [workdir])


@pytest.mark.parametrize("factory", SHARED, ids=lambda f: f.__name__)
@pytest.mark.parametrize("outcomes, cap", [(MIXED, 5000), (PURCHASES, 500)], ids=["mixed", "purchases"])
def test_processes_times_threads_hold_the_cap(workdir, factory, outcomes, cap):
    """The README's experiment (4 processes x 4 threads, 200 purchases of 5-250 under 500),
    and the same with tools that release or raise."""
    under_test = factory(workdir)
    with under_test.open() as ledger:
        day = orvex.Guard(intent(cap), ledger, budget=BUDGET).today()
        with CapWatch(ledger, day, cap) as watch:
            directories, tally = run_processes(under_test.url, workdir, 4, 4, 50, cap, outcomes,
                                               dict(os.environ))
        assert watch.highest <= cap
        summary = check_invariants(under_test, ledger, day, cap, directories)
    assert sum(tally.values()) == 200
    if outcomes == PURCHASES:
        # Below 250 every purchase would fit, so some were denied only once the cap was near.
        assert 250 < summary.settled <= cap and summary.reserved == 0


def test_an_in_process_counter_overshoots_across_processes(workdir):
    """What the shared ledger is for: one MemoryLedger per process knows only its own spend."""
    directories, tally = run_processes("memory", workdir, 4, 4, 50, 500, PURCHASES,
                                       dict(os.environ))
    assert sum(pass_amounts(directories)) > 500


HOLDER = """
import sys, time, orvex
from ledger_harness import intent
guard = orvex.Guard(intent(500), orvex.open_ledger(sys.argv[1]), budget="harness")
with guard.reserve({"vendor": "v", "amount": 120}) as booking:
    print(booking.id, flush=True)
    time.sleep(600)
"""


def orvex_cli(*arguments):
    return subprocess.run([sys.executable, "-m", "orvex", *arguments], capture_output=True,
                          text=True)


@pytest.mark.parametrize("factory", SHARED, ids=lambda f: f.__name__)
def test_a_killed_worker_leaves_its_reservation_counted_until_released(workdir, factory):
    under_test = factory(workdir)
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [os.path.dirname(__file__)] + os.environ.get("PYTHONPATH", "").split(os.pathsep)))
    holder = subprocess.Popen([sys.executable, "-c", HOLDER, under_test.url], env=env,
                              stdout=subprocess.PIPE, text=True)
    held = holder.stdout.readline().strip()
    holder.send_signal(signal.SIGKILL)
    holder.wait()
    with under_test.open() as ledger:
        guard = orvex.Guard(intent(500), ledger, budget=BUDGET)
        assert guard.spent_today() == 120
        listing = orvex_cli("reservations", "--ledger", under_test.url)
        assert listing.returncode == 0 and listing.stdout.startswith(held + "  harness  ")
        assert listing.stdout.endswith("\n1 open\n")
        assert orvex_cli("reservations", "--ledger", under_test.url, "--release", held).stdout == \
            "released %s: 120 no longer counts against harness on %s\n" % (held, guard.today())
        again = orvex_cli("reservations", "--ledger", under_test.url, "--release", held)
        assert (again.returncode, again.stderr) == (1, "orvex: no open reservation has the id %r\n" % held)
        assert orvex_cli("day", "--ledger", under_test.url, "--budget", BUDGET).stdout == \
            "budget harness, day %s\nreserved  0\nsettled   0\nreleased  120\nopen      0\n" % guard.today()
        check_invariants(under_test, ledger, guard.today(), 500, [workdir])


class HeldLedger(orvex.MemoryLedger):
    """Books, then waits until let go: a reservation that completes in the worker thread after
    the task that asked for it was cancelled."""

    def __init__(self):
        super().__init__()
        self.booked, self.let_go = threading.Event(), threading.Event()

    def reserve(self, *args):
        reservation = super().reserve(*args)
        self.booked.set()
        self.let_go.wait(10)
        return reservation


@pytest.mark.parametrize("cancel_while", ["booking", "tool"])
def test_a_cancelled_task_releases_its_reservation(workdir, cancel_while):
    ledger = HeldLedger()
    guard = orvex.Guard(intent(500), ledger, budget=BUDGET)
    if cancel_while == "tool":
        ledger.let_go.set()

    async def spend():
        async with guard.reserve_async({"vendor": "v", "amount": 70}):
            await asyncio.sleep(10)

    async def cancel():
        task = asyncio.ensure_future(spend())
        await asyncio.get_running_loop().run_in_executor(None, ledger.booked.wait, 5)
        await asyncio.sleep(0.01)
        task.cancel()
        with pytest.raises(asyncio.CancelledError):
            await task
        ledger.let_go.set()

    asyncio.run(cancel())
    for _ in range(500):        # before 3.9, asyncio.run does not wait for the worker thread
        summary = ledger.day(BUDGET, guard.today())
        if summary.released:
            break
        time.sleep(0.01)
    assert (summary.counted, summary.released) == (0, 70)


def failing_trigger(path):
    with contextlib.closing(sqlite3.connect(path)) as connection:
        connection.execute("CREATE TRIGGER fail BEFORE INSERT ON orvex_reservation "
                           "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END")
        connection.commit()


def held_lock(path):
    connection = sqlite3.connect(path, isolation_level=None)
    connection.execute("BEGIN IMMEDIATE")


# (what goes wrong, exact text after the ledger's path, whether the guard logged a PASS)
FAILURES = [
    (failing_trigger, "the ledger failed after the guard allowed the action: a PASS was logged "
     "for an action that must not run, since no reservation was recorded (the SQLite ledger "
     "{path} could not commit: disk I/O error)", True),
    (held_lock, "the SQLite ledger {path} could not take the lock of harness on {day}: "
     "database is locked", False),
]


@pytest.mark.parametrize("breaks, text, logged", FAILURES, ids=["commit", "lock"])
def test_a_failing_ledger_never_allows_the_action(workdir, breaks, text, logged):
    path = workdir / "ledger.db"
    ledger = orvex.SqliteLedger(path, timeout=0.05)
    guard = orvex.Guard(intent(500), ledger, budget=BUDGET)
    breaks(path)
    with pytest.raises(orvex.LedgerError) as error:
        with guard.reserve({"vendor": "v", "amount": 10}):
            raise AssertionError("the action ran")
    assert str(error.value) == text.format(path=path, day=guard.today())
    assert (workdir / "orvex_audit.log").exists() == logged


def test_an_unreachable_ledger_is_a_clear_error(tmp_path):
    with pytest.raises(orvex.LedgerError, match="^the SQLite ledger /nowhere/x.db could not create "
                       "its schema: unable to open database file$"):
        orvex.open_ledger("sqlite:////nowhere/x.db")
    with pytest.raises(ValueError, match="^a ledger is sqlite:///PATH"):
        orvex.open_ledger("redis://x")


def test_a_newer_schema_is_refused(tmp_path):
    path = tmp_path / "ledger.db"
    orvex.SqliteLedger(path).close()
    with contextlib.closing(sqlite3.connect(path)) as connection:
        connection.execute("UPDATE orvex_schema SET version = 2")
        connection.commit()
    with pytest.raises(orvex.LedgerError, match="its schema version is 2; this orvex reads version 1"):
        orvex.SqliteLedger(path)


def test_the_ledgers_agree_on_settle_release_and_listing(tmp_path):
    for ledger in (orvex.MemoryLedger(), orvex.SqliteLedger(tmp_path / "l.db")):
        ids = [ledger.reserve("b", "2026-03-01", amount, lambda counted: None).id
               for amount in (10, 20, 30)]
        ledger.reserve("c", "2026-03-01", 5, lambda counted: None)
        assert ledger.settle(ids[0]).state == orvex.SETTLED
        assert ledger.release(ids[1]).state == orvex.RELEASED
        with pytest.raises(orvex.LedgerError, match="no open reservation has the id"):
            ledger.settle(ids[1])
        summary = ledger.day("b", "2026-03-01")
        assert (summary.reserved, summary.settled, summary.released, summary.counted) == (30, 10, 20, 40)
        assert [r.id for r in summary.open] == [ids[2]]
        assert [r.budget for r in ledger.open_reservations()] == ["b", "c"]
        assert [r.amount for r in ledger.open_reservations("c")] == [5]
        assert ledger.day("b", "2026-03-02").counted == 0
