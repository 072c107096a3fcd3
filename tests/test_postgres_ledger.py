"""What only PostgresLedger does, against a real, throwaway server (postgres_fixtures.py): the
operations every ledger shares run in test_ledgers.py."""

import os
import subprocess
import sys
import time
from datetime import datetime, timezone

import pytest

from ledger_harness import RELEASE, check_invariants, finish_processes, start_processes
from test_ledgers import DAY, allow, postgres_ledger

import orvex
from orvex.postgres_ledger import PostgresLedger


@pytest.fixture
def pg(request, workdir):
    return postgres_ledger(request, workdir)


NO_DRIVER = """
import sys
sys.modules["psycopg"] = None  # as if it were not installed
import orvex
try:
    orvex.open_ledger("postgresql:///x")
except orvex.LedgerError as error:
    print(error)
"""


def test_without_psycopg():
    done = subprocess.run([sys.executable, "-c", NO_DRIVER], capture_output=True, text=True,
                          timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == ("PostgresLedger needs psycopg 3, which cannot be imported (import of "
                           "psycopg halted; None in sys.modules): install orvex-core[postgres]\n")


def test_a_forked_child_leaves_the_parents_session_alone(pg):
    def sessions():
        return pg.sql("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                      "AND pid <> pg_backend_pid()")

    ledger = orvex.open_ledger(pg.url)
    assert isinstance(ledger, PostgresLedger)
    ledger.reserve("b", DAY, 1, allow)
    parent = sessions()
    child = os.fork()
    if child == 0:  # its own session, and dropping the inherited one (as at exit) sends nothing
        status = 1
        try:
            ledger.settle(ledger.reserve("b", DAY, 2, allow).id)
            ledger.close()
            status = 0
        finally:
            os._exit(status)
    assert os.waitpid(child, 0)[1] == 0
    ledger.reserve("b", DAY, 4, allow)
    assert sessions() == parent
    assert (ledger.day("b", DAY).reserved, ledger.day("b", DAY).settled) == (5, 2)
    ledger.close()


COLUMNS = {
    "orvex_schema": "version integer NO",
    "orvex_budget_day": "budget text NO, day text NO, reserved double precision NO, "
                        "settled double precision NO, released double precision NO",
    "orvex_reservation": "id text NO, budget text NO, day text NO, amount double precision NO, "
                         "state text NO, created_at text NO, closed_at text YES",
}

FIRST_USE = """
import sys, time, orvex
time.sleep(max(0.0, float(sys.argv[2]) - time.time()))
orvex.open_ledger(sys.argv[1]).reserve("first", "2026-03-01", 1, lambda total: None)
"""


def test_schema_made_once_by_processes_starting_together(pg):
    start = str(time.time() + 1.5)
    processes = [subprocess.Popen([sys.executable, "-c", FIRST_USE, pg.url, start],
                                  stderr=subprocess.PIPE, text=True) for _ in range(4)]
    assert [p.communicate(timeout=60)[1] for p in processes if p.wait(timeout=60) != 0] == []
    assert pg.sql("SELECT version FROM orvex_schema") == [(1,)]
    for table, columns in COLUMNS.items():
        assert pg.sql("SELECT string_agg(concat_ws(' ', column_name, data_type, is_nullable), "
                      "', ' ORDER BY ordinal_position) FROM information_schema.columns "
                      "WHERE table_name = '%s'" % table) == [(columns,)]
    assert pg.sql("SELECT reserved FROM orvex_budget_day") == [(4.0,)]


@pytest.mark.parametrize("operation", [
    lambda ledger, decided: ledger.reserve("b", DAY, 1, decided.append),
    lambda ledger, decided: ledger.settle("x"),
    lambda ledger, decided: ledger.release("x"),
    lambda ledger, decided: ledger.day("b", DAY),
    lambda ledger, decided: ledger.open_reservations(),
], ids=["reserve", "settle", "release", "day", "open_reservations"])
def test_no_server(postgres_cluster, tmp_path, operation):
    import psycopg
    decided = []
    with pytest.raises(orvex.LedgerError) as caught:
        operation(PostgresLedger("host=%s port=5999 dbname=ledger user=u password=hunter2"
                                 % tmp_path), decided)
    assert str(caught.value).startswith("the PostgreSQL ledger (host %s, port 5999, database "
                                        "ledger) could not connect: " % tmp_path)
    assert "hunter2" not in str(caught.value) and decided == []
    assert isinstance(caught.value.__cause__, psycopg.OperationalError)


def test_a_booking_lost_after_the_decision(pg):
    """The connection dies between the decision and the commit: the guard has already logged a
    PASS, so the error must say that the action must not run."""
    import psycopg
    ledger = PostgresLedger(pg.url)

    def decide_then_lose_the_connection(total):
        pg.sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
               "current_database() AND state = 'idle in transaction'")

    with pytest.raises(orvex.LedgerError) as caught:
        ledger.reserve("b", DAY, 40, decide_then_lose_the_connection)
    assert str(caught.value).startswith(
        "the ledger failed after the guard allowed the action: a PASS was logged for an action "
        "that must not run, and its reservation ")
    assert "(the PostgreSQL ledger (host " in str(caught.value)
    assert isinstance(caught.value.__cause__, psycopg.Error)
    assert pg.sql("SELECT count(*) FROM orvex_reservation") == [(0,)]
    ledger.reserve("b", DAY, 1, allow)  # the next call opens a new connection
    assert ledger.day("b", DAY).reserved == 1


def test_server_stopped_and_started_under_three_hosts(pg, postgres_cluster, workdir):
    """Calls fail with the clear error while the server is down and succeed after; the cap and
    the one-reservation-per-PASS rule hold throughout. Every tool gives its booking back, so
    that decisions keep passing."""
    def passes():
        return [(d / "orvex_audit.log").read_text().count('"PASS"')
                if (d / "orvex_audit.log").exists() else 0 for d, _ in started]

    def wait_for_more(than):
        deadline = time.time() + 60
        while any(n < m + 5 for n, m in zip(passes(), than)):
            assert time.time() < deadline, "the hosts made no progress"
            time.sleep(0.05)

    started = start_processes(pg.url, workdir, 3, 2, 0, 500, (RELEASE,), dict(os.environ))
    try:
        try:
            wait_for_more([0, 0, 0])
            down = time.time()
            postgres_cluster.stop_server()
            time.sleep(1.0)
        finally:
            postgres_cluster.start()
        up = time.time()
        wait_for_more(passes())
        directories, tally, errors = finish_processes(started)
        assert errors, "no call failed while the server was down"
        for moment, text, _ in errors:
            assert down <= moment <= up + 1.0, text
            assert text.startswith(("the PostgreSQL ledger (host ", "the ledger failed after")), text
        with PostgresLedger(pg.url) as ledger:
            check_invariants(pg, ledger, str(datetime.now(timezone.utc).date()), 500,
                             directories, [a for _, _, a in errors if a is not None])
    finally:  # hosts left running by a failed test
        for _, process in started:
            if process.poll() is None:
                process.kill()
