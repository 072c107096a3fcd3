"""The three ledgers under one harness: per-operation tables, then threads, processes (each a
host with its own directory and audit log), kills and failures. The cap holds, and every PASS
in the logs has exactly one reservation."""

import asyncio
import contextlib
import os
import signal
import sqlite3
import subprocess
import sys
import threading
import time
from urllib.parse import quote

import pytest

import orvex
from ledger_harness import (BUDGET, MIXED, PURCHASES, CapWatch, LedgerUnderTest, check_invariants,
                            intent, pass_amounts, run_processes, run_threads)

DAY = "2026-03-01"


def memory_ledger(request, tmp_path):
    ledger = orvex.MemoryLedger()
    return LedgerUnderTest("memory", None, lambda: ledger,
                           lambda: [(r.amount, r.state) for r in ledger._reservations.values()],
                           None)


def sqlite_ledger(request, tmp_path):
    path = tmp_path / "ledger.db"

    def sql(statement):
        with contextlib.closing(sqlite3.connect(path)) as connection:
            rows = connection.execute(statement).fetchall()
            connection.commit()
            return rows
    return LedgerUnderTest("sqlite", "sqlite:///%s" % path, lambda: orvex.SqliteLedger(path),
                           lambda: sql("SELECT amount, state FROM orvex_reservation"), sql)


def postgres_ledger(request, tmp_path):
    """A new database for each test; the URL is what an operator would write."""
    dsn = request.getfixturevalue("fresh_postgres_dsn")  # skips when there is no server
    import psycopg
    from orvex.postgres_ledger import PostgresLedger
    parts = dict(part.split("=", 1) for part in dsn.split())
    url = "postgresql://%s@/%s?host=%s&port=%s" % (parts["user"], parts["dbname"],
                                                     quote(parts["host"], safe=""), parts["port"])

    def sql(statement):
        with psycopg.connect(dsn, autocommit=True) as connection:
            cursor = connection.execute(statement)
            return cursor.fetchall() if cursor.description else []
    return LedgerUnderTest("postgres", url, lambda: PostgresLedger(url),
                           lambda: sql("SELECT amount, state FROM orvex_reservation"), sql)


FACTORIES = {f.__name__: f for f in (memory_ledger, sqlite_ledger, postgres_ledger)}


@pytest.fixture(params=list(FACTORIES))
def under_test(request, workdir):
    return FACTORIES[request.param](request, workdir)


@pytest.fixture(params=["sqlite_ledger", "postgres_ledger"])
def shared(request, workdir):
    """A ledger that processes share."""
    return FACTORIES[request.param](request, workdir)


@pytest.fixture
def ledger(under_test):
    with under_test.open() as opened:
        yield opened


def allow(total):
    return None


# --- the operations, the same on every ledger ----------------------------------------------

# (amount, what happens to it afterwards) in order; the day's (reserved, settled, released).
TOTALS = [
    ([(100, None)], (100, 0, 0)),
    ([(100, "settle")], (0, 100, 0)),
    ([(100, "release")], (0, 0, 100)),
    ([(100, "settle"), (30, "release"), (7.5, None), (2.25, None)], (9.75, 100, 30)),
]


@pytest.mark.parametrize("steps, totals", TOTALS)
def test_totals_and_what_decide_sees(ledger, steps, totals):
    seen, kept_open = [], []
    ledger.reserve("other", DAY, 5, allow)
    for amount, then in steps:
        booked = ledger.reserve("b", DAY, amount, seen.append)
        assert (booked.budget, booked.day, booked.amount, booked.state) == ("b", DAY, amount, "open")
        if then is None:
            kept_open.append(booked)
        else:
            closed = getattr(ledger, then)(booked.id)
            assert (closed.id, closed.amount, closed.state) == (booked.id, amount, then + "d")
    # Each decision saw what was counted before it: open and settled amounts, never released ones.
    assert seen == [sum(a for a, then in steps[:n] if then != "release") for n in range(len(steps))]
    summary = ledger.day("b", DAY)
    assert (summary.reserved, summary.settled, summary.released) == totals
    assert summary.counted == totals[0] + totals[1]
    assert summary.open == tuple(kept_open)
    assert list(ledger.open_reservations("b")) == kept_open
    assert [r.budget for r in ledger.open_reservations()] == ["other"] + ["b"] * len(kept_open)
    assert ledger.day("b", "2026-03-02").counted == 0


@pytest.mark.parametrize("first", ["settle", "release", None])
@pytest.mark.parametrize("second", ["settle", "release"])
def test_closing_what_is_not_open(ledger, first, second):
    booked = ledger.reserve("b", DAY, 10, allow)
    closed_id = booked.id if first else "no-such-id"
    if first:
        getattr(ledger, first)(booked.id)
    with pytest.raises(orvex.LedgerError) as caught:
        getattr(ledger, second)(closed_id)
    assert str(caught.value) == "no open reservation has the id %r" % closed_id
    summary = ledger.day("b", DAY)
    assert (summary.reserved, summary.settled + summary.released) == ((0, 10) if first else (10, 0))


@pytest.mark.parametrize("amount", [-1, float("nan"), float("inf"), True, "5", None])
def test_amounts_that_would_spoil_the_total(ledger, amount):
    with pytest.raises(orvex.LedgerError) as caught:
        ledger.reserve("b", DAY, amount, allow)
    assert str(caught.value) == ("a reservation's amount must be a finite number of at least 0, "
                                 "not %r" % (amount,))
    assert ledger.day("b", DAY).counted == 0


def test_a_refusal_books_nothing_and_frees_the_lock(ledger):
    refusal = ValueError("Daily spend limit exceeded")

    def refuse(total):
        raise refusal

    with pytest.raises(ValueError) as caught:
        ledger.reserve("b", DAY, 10, refuse)
    assert caught.value is refusal
    done = []      # another thread (its own connection) takes the same day's lock at once
    other = threading.Thread(target=lambda: done.append(ledger.reserve("b", DAY, 5, allow)))
    other.start()
    other.join(10)
    assert len(done) == 1 and ledger.day("b", DAY).reserved == 5


def test_a_newer_schema_is_refused(shared):
    shared.open().day("b", DAY)
    shared.sql("UPDATE orvex_schema SET version = 2")
    with pytest.raises(orvex.LedgerError) as caught:
        shared.open().day("b", DAY)
    assert str(caught.value).endswith(" could not create its schema: its schema version is 2; "
                                      "this orvex reads version 1")


# --- threads, processes and kills ----------------------------------------------------------

def test_threads_hold_the_cap(under_test, workdir):
    with under_test.open() as ledger:
        guard = orvex.Guard(intent(5000), ledger, budget=BUDGET)
        with CapWatch(ledger, guard.today(), 5000) as watch:
            tally, errors = run_threads(ledger, 8, 200, 5000, 1, MIXED)
        assert watch.highest <= 5000 and watch.reads > 0 and errors == []
        assert tally["denied"] > 0 and tally["release"] > 0 and tally["raise"] > 0
        check_invariants(under_test, ledger, guard.today(), 5000, [workdir])


@pytest.mark.parametrize("outcomes, cap", [(MIXED, 5000), (PURCHASES, 500)], ids=["mixed", "purchases"])
def test_processes_times_threads_hold_the_cap(shared, workdir, outcomes, cap):
    """The README's experiment (4 processes x 4 threads, 200 purchases of 5-250 under 500),
    and the same with tools that release or raise; on PostgreSQL each process is a host."""
    with shared.open() as ledger:
        day = orvex.Guard(intent(cap), ledger, budget=BUDGET).today()
        with CapWatch(ledger, day, cap) as watch:
            directories, tally = run_processes(shared.url, workdir, 4, 4, 50, cap, outcomes,
                                               dict(os.environ))
        assert watch.highest <= cap
        summary = check_invariants(shared, ledger, day, cap, directories)
    assert sum(tally.values()) == 200
    if outcomes == PURCHASES:
        # Below 250 every purchase would fit, so some were denied only once the cap was near.
        assert 250 < summary.settled <= cap and summary.reserved == 0


def test_an_in_process_counter_overshoots_across_processes(workdir):
    """What the shared ledger is for: one MemoryLedger per process knows only its own spend."""
    directories, tally = run_processes("memory", workdir, 4, 4, 50, 500, PURCHASES,
                                       dict(os.environ))
    assert sum(pass_amounts(directories)) > 500


# Killed while its tool runs (holding a reservation), or inside the atomic step (holding the
# day's lock, nothing booked yet).
HOLDER = """
import sys, time, orvex
from ledger_harness import intent
ledger = orvex.open_ledger(sys.argv[1])
if sys.argv[2] == "step":
    ledger.reserve("harness", sys.argv[3], 120, lambda total: print("-", flush=True) or time.sleep(600))
with orvex.Guard(intent(500), ledger, budget="harness").reserve({"vendor": "v", "amount": 120}) as b:
    print(b.id, flush=True)
    time.sleep(600)
"""


def orvex_cli(*arguments):
    return subprocess.run([sys.executable, "-m", "orvex", *arguments], capture_output=True,
                          text=True)


@pytest.mark.parametrize("moment", ["tool", "step"])
def test_a_killed_worker_leaves_its_reservation_counted_until_released(shared, workdir, moment):
    guard = orvex.Guard(intent(500), shared.open(), budget=BUDGET)
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [os.path.dirname(__file__)] + os.environ.get("PYTHONPATH", "").split(os.pathsep)))
    holder = subprocess.Popen([sys.executable, "-c", HOLDER, shared.url, moment, guard.today()],
                              env=env, stdout=subprocess.PIPE, text=True)
    held = holder.stdout.readline().strip()
    holder.send_signal(signal.SIGKILL)
    holder.wait()
    with shared.open() as ledger:
        guard = orvex.Guard(intent(500), ledger, budget=BUDGET)
        if moment == "step":    # the lock died with it, and nothing was booked
            guard.reserve({"vendor": "v", "amount": 250}).__enter__().release()
            assert guard.spent_today() == 0 and orvex_cli("reservations", "--ledger", shared.url
                                                          ).stdout == "0 open\n"
            check_invariants(shared, ledger, guard.today(), 500, [workdir])
            return
        assert guard.spent_today() == 120
        listing = orvex_cli("reservations", "--ledger", shared.url)
        assert listing.returncode == 0 and listing.stdout.startswith(held + "  harness  ")
        assert listing.stdout.endswith("\n1 open\n")
        assert orvex_cli("reservations", "--ledger", shared.url, "--release", held).stdout == \
            "released %s: 120 no longer counts against harness on %s\n" % (held, guard.today())
        again = orvex_cli("reservations", "--ledger", shared.url, "--release", held)
        assert (again.returncode, again.stderr) == (1, "orvex: no open reservation has the id %r\n" % held)
        assert orvex_cli("day", "--ledger", shared.url, "--budget", BUDGET).stdout == \
            "budget harness, day %s\nreserved  0\nsettled   0\nreleased  120\nopen      0\n" % guard.today()
        check_invariants(shared, ledger, guard.today(), 500, [workdir])


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


# --- failures of SQLite --------------------------------------------------------------------

def failing_trigger(path):
    with contextlib.closing(sqlite3.connect(path)) as connection:
        connection.execute("CREATE TRIGGER fail BEFORE INSERT ON orvex_reservation "
                           "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END")
        connection.commit()


def held_lock(path):
    """Another writer's open transaction; it holds the lock as long as the caller keeps it."""
    connection = sqlite3.connect(path, isolation_level=None)
    connection.execute("BEGIN IMMEDIATE")
    return connection


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
    other_writer = breaks(path)  # noqa: F841 (kept open for the whole step)
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
