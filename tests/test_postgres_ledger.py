"""PostgresLedger against a real, throwaway PostgreSQL server (postgres_fixtures.py); the
fleet tests run hosts as processes (postgres_host.py) and check what they left: `Fleet.check`."""

import collections
import json
import os
import signal
import subprocess
import sys
import threading
import time

import pytest

from conftest import SEED, log_lines
from test_audit_log import raw_members, signed_text, verifies

from orvex import LedgerError
from orvex.postgres_ledger import PostgresLedger
from postgres_host import decider, intent

try:
    import psycopg
except ImportError:  # the tests that need it skip, through postgres_cluster
    psycopg = None

HERE = os.path.dirname(os.path.abspath(__file__))
HOST = os.path.join(HERE, "postgres_host.py")
DAY = "2026-03-01"
CAP = 500


def allow(total):
    return None


def sql(dsn, query, *arguments):
    with psycopg.connect(dsn, autocommit=True) as connection:
        cursor = connection.execute(query, arguments)
        return cursor.fetchall() if cursor.description else None


@pytest.fixture
def ledger(postgres_dsn):
    with PostgresLedger(postgres_dsn) as opened:
        yield opened


@pytest.fixture
def budget(request):
    return request.node.name


# --- the operations -----------------------------------------------------------

# (amount, what happens to it afterwards) in order; the day's totals after.
TOTALS = [
    ([(100, None)], (100, 0, 0)),
    ([(100, "settle")], (0, 100, 0)),
    ([(100, "release")], (0, 0, 100)),
    ([(100, "settle"), (30, "release"), (7.5, None), (2.25, None)], (9.75, 100, 30)),
]


@pytest.mark.parametrize("steps,totals", TOTALS)
def test_totals_and_what_decide_sees(ledger, budget, steps, totals):
    seen, kept_open = [], []
    for amount, then in steps:
        booked = ledger.reserve(budget, DAY, amount, seen.append)
        assert (booked.budget, booked.day, booked.amount, booked.state) == (budget, DAY, amount, "open")
        if then is None:
            kept_open.append(booked)
        else:
            closed = getattr(ledger, then)(booked.id)
            assert (closed.id, closed.amount, closed.state) == (booked.id, amount, then + "d")
    # Each decision saw what was counted before it: open and settled amounts, never released ones.
    counted, expected_seen = 0.0, []
    for amount, then in steps:
        expected_seen.append(counted)
        counted += amount if then != "release" else 0
    assert seen == expected_seen
    summary = ledger.day(budget, DAY)
    assert (summary.reserved, summary.settled, summary.released) == totals
    assert summary.counted == totals[0] + totals[1]
    assert summary.open == tuple(kept_open)
    assert list(ledger.open_reservations(budget)) == kept_open
    assert set(kept_open) <= set(ledger.open_reservations())


# (first close, second close, its error); no first close: an id never booked.
CLOSE_TWICE = [
    ("settle", "settle", "reservation {!r} is settled, not open"),
    ("settle", "release", "reservation {!r} is settled, not open"),
    ("release", "settle", "reservation {!r} is released, not open"),
    ("release", "release", "reservation {!r} is released, not open"),
    (None, "settle", "no reservation has the id 'no-such-id'"),
    (None, "release", "no reservation has the id 'no-such-id'"),
]


@pytest.mark.parametrize("first,second,message", CLOSE_TWICE)
def test_closing_what_is_not_open(ledger, budget, first, second, message):
    booked = ledger.reserve(budget, DAY, 10, allow)
    closed_id = booked.id if first else "no-such-id"
    if first:
        getattr(ledger, first)(booked.id)
    with pytest.raises(LedgerError) as caught:
        getattr(ledger, second)(closed_id)
    assert str(caught.value) == message.format(closed_id)
    summary = ledger.day(budget, DAY)
    assert (summary.reserved, summary.settled + summary.released) == ((0, 10) if first else (10, 0))


@pytest.mark.parametrize("amount", [-1, float("nan"), float("inf"), True, "5", None])
def test_amounts_that_would_spoil_the_total(ledger, budget, amount):
    with pytest.raises(LedgerError) as caught:
        ledger.reserve(budget, DAY, amount, allow)
    assert str(caught.value) == ("a reservation's amount must be a finite number of at least 0, "
                                 "not %r" % (amount,))
    assert ledger.day(budget, DAY).counted == 0


NO_DRIVER = """
import sys
sys.modules["psycopg"] = None  # as if it were not installed
import orvex
from orvex.postgres_ledger import PostgresLedger
try:
    PostgresLedger("dbname=x")
except orvex.LedgerError as error:
    print(error)
"""


def test_without_psycopg():
    done = subprocess.run([sys.executable, "-c", NO_DRIVER], capture_output=True, text=True,
                          timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == ("PostgresLedger needs psycopg 3, which cannot be imported (import of "
                           "psycopg halted; None in sys.modules): install orvex-core[postgres]\n")


def test_a_refusal_books_nothing_and_frees_the_lock(ledger, budget):
    refusal = ValueError("Daily spend limit exceeded")

    def refuse(total):
        raise refusal

    with pytest.raises(ValueError) as caught:
        ledger.reserve(budget, DAY, 10, refuse)
    assert caught.value is refusal
    # Another thread (its own connection) takes the same day's lock at once.
    done = []
    other = threading.Thread(target=lambda: done.append(ledger.reserve(budget, DAY, 5, allow)))
    other.start()
    other.join(10)
    assert len(done) == 1
    assert ledger.day(budget, DAY).reserved == 5


def test_one_connection_per_thread(fresh_postgres_dsn, budget):
    """Each thread keeps its own connection while it lives; a dead thread's is closed when the
    next one opens, and close() ends them all."""
    ledger = PostgresLedger(fresh_postgres_dsn)
    counted = threading.Barrier(5)

    def work():
        for _ in range(5):
            ledger.settle(ledger.reserve(budget, DAY, 1, allow).id)
        counted.wait(30)  # the main thread counts the sessions between the two waits
        counted.wait(30)

    def sessions():
        return sql(fresh_postgres_dsn, "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                       "current_database() AND pid <> pg_backend_pid()")[0][0]

    threads = [threading.Thread(target=work) for _ in range(4)]
    for thread in threads:
        thread.start()
    counted.wait(30)
    assert sessions() == 4
    counted.wait(30)
    for thread in threads:
        thread.join()
    assert ledger.day(budget, DAY).settled == 20
    # A backend leaves just after its client closed the connection.
    wait_until(lambda: sessions() == 1, timeout=10)
    ledger.close()
    wait_until(lambda: sessions() == 0, timeout=10)


def test_a_forked_child_leaves_the_parents_session_alone(fresh_postgres_dsn, budget):
    def sessions():
        return sql(fresh_postgres_dsn, "SELECT pid FROM pg_stat_activity WHERE datname = "
                                       "current_database() AND pid <> pg_backend_pid()")

    ledger = PostgresLedger(fresh_postgres_dsn)
    ledger.reserve(budget, DAY, 1, allow)
    parent = sessions()
    child = os.fork()
    if child == 0:  # its own session, and dropping the inherited one (as at exit) sends nothing
        status = 1
        try:
            ledger.settle(ledger.reserve(budget, DAY, 2, allow).id)
            ledger.close()
            status = 0
        finally:
            os._exit(status)
    assert os.waitpid(child, 0)[1] == 0
    ledger.reserve(budget, DAY, 4, allow)
    assert sessions() == parent
    assert (ledger.day(budget, DAY).reserved, ledger.day(budget, DAY).settled) == (5, 2)
    ledger.close()


# --- the schema -----------------------------------------------------------------

COLUMNS = {
    "orvex_schema": "version integer NO",
    "orvex_budget_day": "budget text NO, day text NO, reserved double precision NO, "
                        "settled double precision NO, released double precision NO",
    "orvex_reservation": "id text NO, budget text NO, day text NO, amount double precision NO, "
                         "state text NO, created_at text NO, closed_at text YES",
}

FIRST_USE = """
import sys, time
from orvex.postgres_ledger import PostgresLedger
dsn, start = sys.argv[1], float(sys.argv[2])
time.sleep(max(0.0, start - time.time()))
PostgresLedger(dsn).reserve("first", "2026-03-01", 1, lambda total: None)
"""


def test_schema_made_once_by_processes_starting_together(fresh_postgres_dsn):
    start = str(time.time() + 1.5)
    processes = [subprocess.Popen([sys.executable, "-c", FIRST_USE, fresh_postgres_dsn, start],
                                  stderr=subprocess.PIPE, text=True) for _ in range(4)]
    failures = [p.communicate(timeout=60)[1] for p in processes if p.wait(timeout=60) != 0]
    assert failures == []
    assert sql(fresh_postgres_dsn, "SELECT version FROM orvex_schema") == [(1,)]
    for table, columns in COLUMNS.items():
        assert sql(fresh_postgres_dsn, "SELECT string_agg(concat_ws(' ', column_name, data_type, "
                   "is_nullable), ', ' ORDER BY ordinal_position) FROM information_schema.columns "
                   "WHERE table_name = %s", table) == [(columns,)]
    assert sql(fresh_postgres_dsn, "SELECT reserved FROM orvex_budget_day") == [(4.0,)]


def test_a_schema_of_another_version_is_refused(fresh_postgres_dsn):
    PostgresLedger(fresh_postgres_dsn).day("b", DAY)
    sql(fresh_postgres_dsn, "UPDATE orvex_schema SET version = 2")
    with pytest.raises(LedgerError) as caught:
        PostgresLedger(fresh_postgres_dsn).day("b", DAY)
    assert str(caught.value) == ("the PostgreSQL ledger's schema is version 2; "
                                 "this orvex reads version 1")


# --- a database that cannot be reached or fails mid-step ------------------------

OPERATIONS = [
    ("reserve", lambda ledger, decide: ledger.reserve("b", DAY, 1, decide)),
    ("settle", lambda ledger, decide: ledger.settle("x")),
    ("release", lambda ledger, decide: ledger.release("x")),
    ("day", lambda ledger, decide: ledger.day("b", DAY)),
    ("open_reservations", lambda ledger, decide: ledger.open_reservations()),
]


@pytest.mark.parametrize("name,operation", OPERATIONS)
def test_no_server(postgres_cluster, tmp_path, name, operation):
    dsn = "host=%s port=5999 dbname=ledger user=u password=hunter2" % tmp_path
    decided = []
    with pytest.raises(LedgerError) as caught:
        operation(PostgresLedger(dsn), decided.append)
    assert str(caught.value).startswith(
        "cannot connect to the PostgreSQL ledger (host %s, port 5999, database ledger): "
        % tmp_path)
    assert "hunter2" not in str(caught.value)
    assert isinstance(caught.value.__cause__, psycopg.OperationalError)
    assert decided == []


def test_a_booking_lost_after_the_decision(ledger, postgres_dsn, budget):
    """The connection dies between the decision and the commit: the guard has already logged a
    PASS, so the error must say that the action must not run."""
    def decide_then_lose_the_connection(total):
        sql(postgres_dsn, "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                          "datname = current_database() AND pid <> pg_backend_pid() "
                          "AND state = 'idle in transaction'")

    with pytest.raises(LedgerError) as caught:
        ledger.reserve(budget, DAY, 40, decide_then_lose_the_connection)
    text = str(caught.value)
    assert text.startswith("the PostgreSQL ledger failed after the guard allowed 40.0 on budget "
                           "%r for %s: a PASS was logged for an action that must not run; "
                           "reservation " % (budget, DAY))
    assert isinstance(caught.value.__cause__, psycopg.Error)
    assert sql(postgres_dsn, "SELECT count(*) FROM orvex_reservation WHERE budget = %s",
               budget) == [(0,)]
    # The next call opens a new connection.
    ledger.reserve(budget, DAY, 1, allow)
    assert ledger.day(budget, DAY).reserved == 1


def test_server_stopped_and_started(postgres_cluster, ledger, budget):
    ledger.reserve(budget, DAY, 1, allow)
    postgres_cluster.stop_server()
    try:
        with pytest.raises(LedgerError) as caught:
            ledger.reserve(budget, DAY, 1, allow)
        assert str(caught.value).startswith("cannot connect to the PostgreSQL ledger")
    finally:
        postgres_cluster.start()
    # The connection the server dropped is replaced without an error.
    ledger.reserve(budget, DAY, 1, allow)
    assert ledger.day(budget, DAY).reserved == 2


# --- a fleet of hosts on one database ------------------------------------------

class Fleet:
    """Hosts sharing one fresh database, each in its own directory, and the invariants over
    what they left: the rows and the signed logs."""

    def __init__(self, dsn, tmp_path):
        self.dsn, self.budget, self.root, self.processes = dsn, "fleet", tmp_path, []
        PostgresLedger(dsn).day(self.budget, DAY)  # creates the tables
        sql(dsn, "ALTER TABLE orvex_budget_day ADD CONSTRAINT test_never_over_the_cap "
                 "CHECK (reserved + settled <= %s)" % (CAP + 1e-6))

    def start(self, host, **config):
        directory = self.root / ("host%d" % host)
        directory.mkdir(exist_ok=True)
        config = dict(dict(mode="run", dsn=self.dsn, budget=self.budget, cap=CAP, host=host,
                           threads=2, attempts=0, settle_share=0.3), **config)
        env = dict(os.environ, ORVEX_SEED=SEED)
        process = subprocess.Popen([sys.executable, HOST, json.dumps(config)], cwd=directory,
                                   env=env, stdout=subprocess.PIPE, text=True)
        self.processes.append(process)
        return directory, process

    def run(self, hosts, **config):
        return [self.start(host, **config) for host in range(hosts)]

    def passes(self, directory):
        return [line for line in log_lines(directory) if '"result":"PASS"' in line]

    def stop_all(self, started):
        for directory, _ in started:
            (directory / "stop").touch()
        summaries = []
        for _, process in started:
            output, _ = process.communicate(timeout=120)
            assert process.returncode == 0
            summaries.append(json.loads(output.splitlines()[-1]))
        return summaries

    def check(self, directories, unbooked=()):
        rows = sql(self.dsn, "SELECT amount, state FROM orvex_reservation WHERE budget = %s",
                   self.budget)
        totals = collections.Counter()
        for amount, state in rows:
            totals[state] += amount
        [(reserved, settled, released)] = sql(
            self.dsn, "SELECT reserved, settled, released FROM orvex_budget_day "
                      "WHERE budget = %s AND day = %s", self.budget, DAY)
        assert reserved + settled <= CAP
        for running, state in [(reserved, "open"), (settled, "settled"), (released, "released")]:
            assert running == pytest.approx(totals[state], abs=1e-6)
        booked = collections.Counter(amount for amount, _ in rows)
        passed = collections.Counter()
        for directory in directories:
            for line in log_lines(directory):
                members = raw_members(line)
                assert verifies(signed_text(members), members)
            for line in self.passes(directory):
                passed[json.loads(line)["action_params"]["amount"]] += 1
        # Unique amounts: every PASS has exactly one reservation and every reservation its
        # PASS, except a booking whose commit was lost (the host was told; 0 or 1 rows).
        for amount in unbooked:
            assert passed[amount] == 1 and booked[amount] in (0, 1)
            del passed[amount], booked[amount]
        assert booked == passed
        return sum(passed.values())


@pytest.fixture
def fleet(fresh_postgres_dsn, tmp_path):
    made = Fleet(fresh_postgres_dsn, tmp_path)
    yield made
    for process in made.processes:  # hosts left running by a failed test
        if process.poll() is None:
            process.kill()
            process.wait()


def wait_until(condition, timeout=60):
    deadline = time.time() + timeout
    while not condition():
        assert time.time() < deadline, "timed out"
        time.sleep(0.05)


def test_three_hosts_share_the_cap(fleet):
    started = fleet.run(3, attempts=40)
    summaries = fleet.stop_all(started)
    assert [s["errors"] for s in summaries] == [[], [], []]
    passes = fleet.check([d for d, _ in started])
    assert passes == sum(s["pass"] for s in summaries) > 0
    assert sum(s["deny"] for s in summaries) > 0  # the cap was reached


def test_server_restarted_under_three_hosts(postgres_cluster, fleet):
    # Every tool fails and releases its amount, so that decisions keep passing throughout.
    started = fleet.run(3, settle_share=0.0)
    directories = [d for d, _ in started]
    try:
        wait_until(lambda: all(len(fleet.passes(d)) >= 5 for d in directories))
        down = time.time()
        postgres_cluster.stop_server()
        time.sleep(1.0)
    finally:
        postgres_cluster.start()
    up = time.time()
    before = [len(fleet.passes(d)) for d in directories]
    wait_until(lambda: all(len(fleet.passes(d)) >= n + 5 for d, n in zip(directories, before)))
    summaries = fleet.stop_all(started)
    errors = [error for s in summaries for error in s["errors"]]
    assert errors, "no call failed while the server was down"
    for moment, text in errors:
        assert down <= moment <= up + 1.0, text
        assert text.startswith(("cannot connect to the PostgreSQL ledger",
                                "the PostgreSQL ledger failed")), text
        assert "test_never_over_the_cap" not in text
    fleet.check(directories, [a for s in summaries for a in s["unbooked"]])


def killed_holding_a_reservation(fleet, process, line):
    """Its amount stays counted (a 400 does not fit beside its 120) until it is released."""
    held = line.split()[1]
    with PostgresLedger(fleet.dsn) as ledger:
        assert [r.id for r in ledger.open_reservations(fleet.budget)] == [held]
        with pytest.raises(ValueError):
            fleet_decision(ledger, 400)
        ledger.release(held)
        fleet_decision(ledger, 400)


def killed_inside_the_step(fleet, process, line):
    """The server ends the dead session: the lock is freed and nothing was booked."""
    with PostgresLedger(fleet.dsn) as ledger:
        done = []
        taker = threading.Thread(target=lambda: done.append(fleet_decision(ledger, 400)))
        taker.start()
        taker.join(30)
        assert len(done) == 1
        assert ledger.day(fleet.budget, DAY).counted == 400


def fleet_decision(ledger, amount):
    return ledger.reserve("fleet", DAY, amount, decider(intent(CAP), amount))


@pytest.mark.parametrize("mode,expected_line,after", [
    ("hold", "held ", killed_holding_a_reservation),
    ("stall", "locked", killed_inside_the_step),
])
def test_host_killed(fleet, workdir, mode, expected_line, after):
    directory, process = fleet.start(0, mode=mode, amount=120)
    line = process.stdout.readline()
    assert line.startswith(expected_line)
    process.send_signal(signal.SIGKILL)
    process.wait(30)
    after(fleet, process, line)
    # The test's own decisions are logged in its working directory.
    fleet.check([directory, workdir])
