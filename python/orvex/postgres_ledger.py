"""`PostgresLedger`: the spend ledger in a PostgreSQL database, one cap shared by a fleet.

Every host that points at the same database shares each budget's daily cap: a decision locks the
budget's row for the day (`SELECT ... FOR UPDATE`), reads its running totals, asks the guard, books
the reservation and commits, all in one transaction; the row lock makes the decisions on one
budget and day take turns across connections, processes and hosts.

Connections: one per thread, opened on the thread's first call and kept for its next ones (a
decision is three short round trips; a pool would add a hand-over per call and buy nothing
for threads that keep calling). A connection found closed, or dropped by the server while it sat
idle (a restart), is replaced on the next call; a call that meets a database it cannot reach
raises `LedgerError`, and the next call tries again. A child process made by fork() opens its own
and never writes into the sessions it inherited.

psycopg 3 is imported on first use, so `import orvex` works without it (`orvex-core[postgres]`).
"""
from __future__ import annotations

import importlib
import os
import select
import threading
import uuid
import weakref
from datetime import datetime, timezone
from typing import TYPE_CHECKING, Any, Dict, List, Optional, Sequence, Tuple

from orvex import errors
from orvex.ledger import OPEN, RELEASED, SETTLED, Decide, DaySummary, Ledger, LedgerError, \
    Reservation, check_amount

if TYPE_CHECKING:
    import psycopg

SCHEMA_VERSION = 1
# Taken for the transaction that creates the tables, so that processes starting at once on an
# empty database do not race each other's CREATE TABLE (IF NOT EXISTS alone is not safe there).
SCHEMA_LOCK_KEY = 0x6F72766578  # "orvex"
DEFAULT_CONNECT_TIMEOUT_SECONDS = 10

SCHEMA = (
    "CREATE TABLE IF NOT EXISTS orvex_schema (version INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS orvex_budget_day ("
    " budget TEXT NOT NULL, day TEXT NOT NULL,"
    " reserved DOUBLE PRECISION NOT NULL, settled DOUBLE PRECISION NOT NULL,"
    " released DOUBLE PRECISION NOT NULL, PRIMARY KEY (budget, day))",
    "CREATE TABLE IF NOT EXISTS orvex_reservation ("
    " id TEXT PRIMARY KEY, budget TEXT NOT NULL, day TEXT NOT NULL,"
    " amount DOUBLE PRECISION NOT NULL, state TEXT NOT NULL,"
    " created_at TEXT NOT NULL, closed_at TEXT NULL)",
    "CREATE INDEX IF NOT EXISTS orvex_reservation_state"
    " ON orvex_reservation (state, budget, day)",
    "INSERT INTO orvex_schema (version)"
    " SELECT %s WHERE NOT EXISTS (SELECT 1 FROM orvex_schema)" % SCHEMA_VERSION,
)
SCHEMA_EXISTS = "SELECT to_regclass('orvex_schema') IS NOT NULL"
READ_VERSION = "SELECT version FROM orvex_schema"

# The statements of every decision are prepared once per connection: planning them again on each
# call took about as much of the server's time as running them. Arguments are bound on the
# client, so that one query text carries several statements (one round trip for BEGIN and the
# lock, one for the booking, its commit and the wait for the disk).
PREPARED = {
    "orvex_lock_day": ("text, text",
                       "SELECT reserved, settled FROM orvex_budget_day"
                       " WHERE budget = $1 AND day = $2 FOR UPDATE"),
    # The reservation row and the running total in one statement.
    "orvex_book": ("text, text, text, float8, text",
                   "WITH booked AS (INSERT INTO orvex_reservation"
                   " (id, budget, day, amount, state, created_at)"
                   " VALUES ($1, $2, $3, $4, 'open', $5))"
                   " UPDATE orvex_budget_day SET reserved = reserved + $4"
                   " WHERE budget = $2 AND day = $3"),
}
# Closing a reservation ($2, at $1) moves its amount from `reserved` to the column named after
# the new state, in one statement, so that it is atomic without an explicit transaction.
CLOSE = ("WITH closed AS (UPDATE orvex_reservation SET state = '{state}', closed_at = $1"
         " WHERE id = $2 AND state = 'open' RETURNING id, budget, day, amount, created_at),"
         " moved AS (UPDATE orvex_budget_day AS d SET reserved = d.reserved - c.amount,"
         " {state} = d.{state} + c.amount FROM closed AS c"
         " WHERE d.budget = c.budget AND d.day = c.day)"
         " SELECT id, budget, day, amount, created_at FROM closed")
PREPARED.update({"orvex_" + state: ("text, text", CLOSE.format(state=state))
                 for state in (SETTLED, RELEASED)})
# Settling and releasing need not be durable (one lost to a crash leaves its amount counted,
# which errs on the safe side): the session commits without waiting for the disk.
SESSION_SETUP = "; ".join(["SET synchronous_commit TO off"] + [
    "PREPARE %s (%s) AS %s" % (name, types, body) for name, (types, body) in PREPARED.items()])
LOCK_DAY = "BEGIN; EXECUTE orvex_lock_day(%s, %s)"
# The first decision of a day, inside the transaction LOCK_DAY began.
ADD_AND_LOCK_DAY = ("INSERT INTO orvex_budget_day (budget, day, reserved, settled, released)"
                    " VALUES (%s, %s, 0, 0, 0) ON CONFLICT DO NOTHING;"
                    " EXECUTE orvex_lock_day(%s, %s)")
# A reservation must be on disk before its action runs, but the day's lock need not be held while
# the disk catches up: the booking commits (and frees the lock for the next decision) without
# waiting, then a second transaction that commits synchronously waits until the log is flushed up
# to its own commit, which lies after the booking's. A booking that a later one saw is earlier in
# the log, so no durable booking can rest on a total that a crash took back; a crash before the
# flush reaches the caller as a failed reservation, whose action does not run.
MAKE_DURABLE = "BEGIN; SET LOCAL synchronous_commit TO on; SELECT txid_current(); COMMIT"
BOOK = "EXECUTE orvex_book(%s, %s, %s, %s, %s); COMMIT; " + MAKE_DURABLE
CLOSE_BY_STATE = {state: "EXECUTE orvex_%s(%%s, %%s)" % state for state in (SETTLED, RELEASED)}
DAY_TOTALS = ("SELECT reserved, settled, released FROM orvex_budget_day"
              " WHERE budget = %s AND day = %s")
OPEN_COLUMNS = "SELECT id, budget, day, amount, state, created_at FROM orvex_reservation"
OPEN_OF_DAY = OPEN_COLUMNS + (" WHERE state = 'open' AND budget = %s AND day = %s"
                              " ORDER BY created_at, id")
OPEN_OF_BUDGET = OPEN_COLUMNS + " WHERE state = 'open' AND budget = %s ORDER BY created_at, id"
OPEN_ALL = OPEN_COLUMNS + " WHERE state = 'open' ORDER BY created_at, id"


def _now() -> str:
    """RFC 3339 UTC with microseconds, fixed width, so that the text sorts by time."""
    return datetime.now(timezone.utc).strftime("%Y-%m-%dT%H:%M:%S.%fZ")


def _last_row(cursor: "psycopg.Cursor[Any]") -> Optional[Tuple[Any, ...]]:
    """The first row of the last result of a query text holding several statements."""
    row = None
    while True:
        if cursor.description is not None:
            row = cursor.fetchone()
        if not cursor.nextset():
            return row


def _forget_in_child(ledger: Optional["PostgresLedger"]) -> None:
    if ledger is not None:
        ledger._forget_after_fork()


def _reservation(row: Sequence[Any]) -> Reservation:
    return Reservation(id=row[0], budget=row[1], day=row[2], amount=float(row[3]),
                       state=row[4], created_at=row[5])


class PostgresLedger(Ledger):
    """The ledger in the PostgreSQL database that `dsn` names (a libpq connection string or a
    postgresql:// URL). The tables are created on first use."""

    def __init__(self, dsn: str, *,
                 connect_timeout: float = DEFAULT_CONNECT_TIMEOUT_SECONDS) -> None:
        try:
            self._driver: Any = importlib.import_module("psycopg")
        except ImportError as error:
            raise LedgerError(errors.NO_POSTGRES_DRIVER.format(error)) from error
        self._dsn = dsn
        self._connect_timeout = connect_timeout
        self._where = self._describe(dsn)
        self._local = threading.local()
        self._lock = threading.Lock()
        self._connections: Dict[threading.Thread, "psycopg.Connection[Any]"] = {}
        self._schema_ready = False
        ledger = weakref.ref(self)
        os.register_at_fork(after_in_child=lambda: _forget_in_child(ledger()))

    def _forget_after_fork(self) -> None:
        """In a child made by fork(), the connections are the parent's sessions: a query would
        write into them. The child drops them (psycopg does not say goodbye on a connection
        that another process opened) and opens its own."""
        self._connections = {}
        self._local = threading.local()
        self._lock = threading.Lock()  # another thread of the parent may have held it

    def _describe(self, dsn: str) -> str:
        """Where the database is, for messages: host, port and database, never a password."""
        try:
            parts = self._driver.conninfo.conninfo_to_dict(dsn)
        except Exception:
            return "(an unreadable connection string)"
        host = parts.get("host") or parts.get("hostaddr") or "the default host"
        port = parts.get("port") or "the default port"
        return "(host %s, port %s, database %s)" % (host, port, parts.get("dbname") or "default")

    # --- connections -------------------------------------------------------------------------

    def _connection(self) -> "psycopg.Connection[Any]":
        """This thread's connection, opened (and the schema made ready) when it has none or the
        one it had can no longer be used."""
        connection: Optional["psycopg.Connection[Any]"] = getattr(self._local, "connection", None)
        if connection is not None and (connection.closed or self._dropped(connection)):
            self._discard()
            connection = None
        if connection is None:
            connection = self._connect()
        return connection

    @staticmethod
    def _dropped(connection: "psycopg.Connection[Any]") -> bool:
        """True when the server has written to or closed a connection that has no query
        running: it only does so to end the session (a shutdown, a restart, a terminated
        backend), and the next query would fail on it."""
        poller = select.poll()
        poller.register(connection.fileno(), select.POLLIN | select.POLLHUP | select.POLLERR)
        return bool(poller.poll(0))

    def _connect(self) -> "psycopg.Connection[Any]":
        try:
            connection: "psycopg.Connection[Any]" = self._driver.connect(
                self._dsn, autocommit=True, cursor_factory=self._driver.ClientCursor,
                connect_timeout=max(1, int(self._connect_timeout)))
        except self._driver.Error as error:
            raise self._text(errors.CONNECT_STEP, error) from error
        self._local.connection = connection
        with self._lock:
            for thread in [t for t in self._connections if not t.is_alive()]:
                self._connections.pop(thread).close()
            self._connections[threading.current_thread()] = connection
        if not self._schema_ready:
            self._ensure_schema(connection)
        try:
            connection.execute(SESSION_SETUP)  # the statements it prepares need the tables
        except self._driver.Error as error:
            raise self._failed(errors.SESSION_STEP, error) from error
        return connection

    def _discard(self) -> None:
        """Closes this thread's connection after a failure; the next call opens a new one."""
        connection = getattr(self._local, "connection", None)
        self._local.connection = None
        if connection is None:
            return
        with self._lock:
            self._connections.pop(threading.current_thread(), None)
        try:
            connection.close()
        except Exception:
            pass

    def _text(self, step: str, error: object) -> LedgerError:
        return LedgerError(errors.LEDGER_FAILED.format("PostgreSQL", self._where, step, error))

    def _failed(self, step: str, error: Exception) -> LedgerError:
        self._discard()
        return self._text(step, error)

    def _ensure_schema(self, connection: "psycopg.Connection[Any]") -> None:
        try:
            with connection.transaction():
                exists = connection.execute(SCHEMA_EXISTS).fetchone()
                if not (exists and exists[0]):
                    connection.execute("SELECT pg_advisory_xact_lock(%s)", (SCHEMA_LOCK_KEY,))
                    for statement in SCHEMA:
                        connection.execute(statement)
                row = connection.execute(READ_VERSION).fetchone()
        except self._driver.Error as error:
            raise self._failed(errors.SCHEMA_STEP, error) from error
        found = row[0] if row else None
        if found != SCHEMA_VERSION:
            self._discard()
            raise self._text(errors.SCHEMA_STEP,
                             errors.SCHEMA_VERSION_FOUND.format(found, SCHEMA_VERSION))
        self._schema_ready = True

    def close(self) -> None:
        with self._lock:
            connections = list(self._connections.values())
            self._connections.clear()
        self._local = threading.local()
        for connection in connections:
            try:
                connection.close()
            except Exception:
                pass

    # --- operations --------------------------------------------------------------------------

    def reserve(self, budget: str, day: str, amount: float, decide: Decide) -> Reservation:
        amount = check_amount(amount)
        connection = self._connection()
        error_type = self._driver.Error
        try:
            row = _last_row(connection.execute(LOCK_DAY, (budget, day)))
            if row is None:
                row = _last_row(connection.execute(ADD_AND_LOCK_DAY, (budget, day, budget, day)))
            assert row is not None  # found or inserted above, and locked until COMMIT
        except error_type as error:
            raise self._failed(errors.LOCK_STEP.format(budget, day), error) from error
        try:
            decide(float(row[0]) + float(row[1]))
        except BaseException:
            self._rollback(connection)
            raise
        reservation = Reservation(id=uuid.uuid4().hex, budget=budget, day=day,
                                  amount=float(amount), state=OPEN, created_at=_now())
        try:
            connection.execute(BOOK, (reservation.id, budget, day, reservation.amount,
                                      reservation.created_at))
        except BaseException as error:
            # The guard has logged a PASS; whatever stopped the booking, the action must not run.
            # An interruption (KeyboardInterrupt, a cancellation) keeps going as it is.
            self._discard()
            if not isinstance(error, Exception):
                raise
            cause = self._text(errors.COMMIT_STEP, str(error) or type(error).__name__)
            raise LedgerError(errors.PASS_WITHOUT_BOOKING.format(
                errors.BOOKING_UNKNOWN.format(reservation.id), cause)) from error
        return reservation

    def _rollback(self, connection: "psycopg.Connection[Any]") -> None:
        try:
            connection.execute("ROLLBACK")
        except Exception:
            self._discard()

    def settle(self, reservation_id: str) -> Reservation:
        return self._close(reservation_id, SETTLED)

    def release(self, reservation_id: str) -> Reservation:
        return self._close(reservation_id, RELEASED)

    def _close(self, reservation_id: str, state: str) -> Reservation:
        connection = self._connection()
        try:
            row = connection.execute(CLOSE_BY_STATE[state], (_now(), reservation_id)).fetchone()
        except self._driver.Error as error:
            raise self._failed(errors.CLOSE_STEP.format(reservation_id, state), error) from error
        if row is None:
            raise LedgerError(errors.NO_OPEN_RESERVATION.format(reservation_id))
        return Reservation(id=row[0], budget=row[1], day=row[2], amount=float(row[3]),
                           state=state, created_at=row[4])

    def day(self, budget: str, day: str) -> DaySummary:
        connection = self._connection()
        try:
            # One snapshot for the totals and the list, so that they agree.
            with connection.transaction():
                connection.execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY")
                totals = connection.execute(DAY_TOTALS, (budget, day)).fetchone()
                rows = connection.execute(OPEN_OF_DAY, (budget, day)).fetchall()
        except self._driver.Error as error:
            raise self._failed(errors.DAY_STEP.format(budget, day), error) from error
        reserved, settled, released = (float(v) for v in totals) if totals else (0.0, 0.0, 0.0)
        return DaySummary(budget=budget, day=day, reserved=reserved, settled=settled,
                          released=released, open=tuple(_reservation(r) for r in rows))

    def open_reservations(self, budget: Optional[str] = None) -> Sequence[Reservation]:
        connection = self._connection()
        query, arguments = (OPEN_ALL, ()) if budget is None else (OPEN_OF_BUDGET, (budget,))
        try:
            rows: List[Tuple[Any, ...]] = connection.execute(query, arguments).fetchall()
        except self._driver.Error as error:
            raise self._failed(errors.LIST_STEP, error) from error
        return [_reservation(r) for r in rows]
