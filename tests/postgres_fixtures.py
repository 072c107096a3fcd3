"""Fixtures of a throwaway PostgreSQL cluster, shared by every test that
needs a real server (conftest.py imports them).

`postgres_dsn` (session) names one database that all of a session's tests
share: give each test its own budget names. `fresh_postgres_dsn` names a new,
empty database (no tables yet) for a test that must see the ledger's first
use. Where the server programs or psycopg are missing, these tests are
skipped, and the session's summary says why in one line.
"""

import itertools

import pytest

from postgres_server import PostgresCluster, missing_reason

_database_numbers = itertools.count(1)
_skipped_because = []


@pytest.fixture(scope="session")
def postgres_cluster():
    reason = missing_reason()
    if reason is not None:
        _skipped_because.append(reason)
        pytest.skip("PostgreSQL tests skipped: " + reason)
    cluster = PostgresCluster(durable=False)
    try:
        yield cluster
    finally:
        cluster.stop()


@pytest.fixture(scope="session")
def postgres_dsn(postgres_cluster):
    return postgres_cluster.create_database("orvex_shared")


@pytest.fixture
def fresh_postgres_dsn(postgres_cluster):
    return postgres_cluster.create_database("orvex_%d" % next(_database_numbers))


def pytest_terminal_summary(terminalreporter):
    if _skipped_because:
        terminalreporter.write_line("PostgreSQL tests skipped: " + _skipped_because[0])
