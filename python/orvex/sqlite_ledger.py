"""`SqliteLedger`: one daily cap for every thread and process of one host, in one SQLite file.

Durability. Every reservation is committed with `synchronous=FULL` before its action may run:
in WAL mode that syncs the log file on every commit, so a reservation that `reserve` returned
survives a power cut. `NORMAL` would sync only at checkpoints, and a power cut could then forget
reservations whose actions already ran, letting the day's total come out lower than what was
spent. Settles and releases commit with `synchronous=NORMAL`: one lost to a power cut leaves its
amount counted as reserved, which errs on the safe side, and the next reservation's sync makes
it durable anyway (the log file is synced as a whole). WAL itself lets readers (the command
line, `spent_today`) run beside the writer, and `BEGIN IMMEDIATE` takes the write lock before
the day's total is read, so no two decisions can read the same total.

Contention. Writers first take an exclusive flock on a file beside the database (PATH.lock),
one descriptor per connection, and only then SQLite's write lock. SQLite alone makes a writer
that finds the lock taken sleep 1, 2, 5, 10 ms and more before it tries again, while a step
holds the lock for well under that: with several processes the lock then sits idle between
steps, and 4 processes together decided fewer times per second than one. The kernel hands a
flock to the next waiter the moment it is released. A process that dies drops its flock with
its descriptors; one that is stopped inside a step holds the others until it continues.
"""
from __future__ import annotations

import contextlib
import fcntl
import os
import sqlite3
import threading
from typing import Iterator, List, Optional, Sequence, Tuple

from orvex._rows import new_reservation_id, utc_timestamp
from orvex.errors import (BOOKING_NOT_RECORDED, CLOSE_STEP, COMMIT_STEP, DAY_STEP, LEDGER_FAILED,
                          LIST_STEP, LOCK_STEP, NO_OPEN_RESERVATION, PASS_WITHOUT_BOOKING,
                          SCHEMA_STEP, SCHEMA_VERSION_FOUND)
from orvex.ledger import (OPEN, RELEASED, SETTLED, DaySummary, Decide, Ledger, LedgerError,
                          Reservation, check_amount)

SCHEMA_VERSION = 1
# How long a step waits for another process's write lock before it fails.
BUSY_TIMEOUT_SECONDS = 30.0
# Created on first use, each statement idempotent, under the write lock, so that several
# processes starting at once create it exactly once.
SCHEMA = (
    "CREATE TABLE IF NOT EXISTS orvex_schema (version INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS orvex_budget_day (budget TEXT NOT NULL, day TEXT NOT NULL,"
    " reserved REAL NOT NULL, settled REAL NOT NULL, released REAL NOT NULL,"
    " PRIMARY KEY (budget, day))",
    "CREATE TABLE IF NOT EXISTS orvex_reservation (id TEXT PRIMARY KEY, budget TEXT NOT NULL,"
    " day TEXT NOT NULL, amount REAL NOT NULL, state TEXT NOT NULL, created_at TEXT NOT NULL,"
    " closed_at TEXT)",
    "CREATE INDEX IF NOT EXISTS orvex_reservation_open ON orvex_reservation (state, budget, day)",
)
_RESERVATION_COLUMNS = "id, budget, day, amount, state, created_at"
_COUNTED = "SELECT reserved + settled FROM orvex_budget_day WHERE budget = ? AND day = ?"
_INSERT = ("INSERT INTO orvex_reservation (id, budget, day, amount, state, created_at)"
           " VALUES (?, ?, ?, ?, 'open', ?)")
_ADD_RESERVED = ("INSERT INTO orvex_budget_day (budget, day, reserved, settled, released)"
                 " VALUES (?, ?, ?, 0, 0) ON CONFLICT (budget, day)"
                 " DO UPDATE SET reserved = reserved + excluded.reserved")
_MOVE = {
    SETTLED: "UPDATE orvex_budget_day SET reserved = reserved - ?, settled = settled + ?"
             " WHERE budget = ? AND day = ?",
    RELEASED: "UPDATE orvex_budget_day SET reserved = reserved - ?, released = released + ?"
              " WHERE budget = ? AND day = ?",
}


class SqliteLedger(Ledger):
    """The ledger in the SQLite file at `path` (created with its schema when missing). Each
    thread gets a connection of its own; the object may be shared by threads, and each process
    that opens the same file shares the same cap."""

    def __init__(self, path: "str | os.PathLike[str]", *,
                 timeout: float = BUSY_TIMEOUT_SECONDS) -> None:
        self.path = os.fspath(path)
        self._timeout = timeout
        self._local = threading.local()
        self._lock = threading.Lock()
        self._connections: List[sqlite3.Connection] = []
        self._lock_files: List[int] = []
        self._pid = os.getpid()
        with self._step(SCHEMA_STEP):
            self._create_schema(self._connection(durable=True))

    def _fail(self, what: str, error: BaseException) -> LedgerError:
        return LedgerError(LEDGER_FAILED.format("SQLite", self.path, what, error))

    @contextlib.contextmanager
    def _step(self, what: str) -> Iterator[None]:
        try:
            yield
        except (sqlite3.Error, OSError) as error:
            raise self._fail(what, error) from error

    def _connection(self, durable: bool) -> sqlite3.Connection:
        """This thread's connection, set to sync every commit when `durable`."""
        if os.getpid() != self._pid:  # a forked child never uses its parent's connections
            self._local = threading.local()
            self._connections, self._lock_files = [], []
            self._pid = os.getpid()
        connection: Optional[sqlite3.Connection] = getattr(self._local, "connection", None)
        if connection is None:
            connection = sqlite3.connect(self.path, timeout=self._timeout, isolation_level=None,
                                         check_same_thread=False)
            mode = connection.execute("PRAGMA journal_mode=WAL").fetchone()[0]
            if mode != "wal":
                connection.close()
                raise sqlite3.OperationalError("journal mode %s instead of wal" % mode)
            self._local.connection, self._local.durable = connection, None
            with self._lock:
                self._connections.append(connection)
        if self._local.durable != durable:
            connection.execute("PRAGMA synchronous=%s" % ("FULL" if durable else "NORMAL"))
            self._local.durable = durable
        return connection

    @contextlib.contextmanager
    def _writing(self, durable: bool, what: str) -> Iterator[sqlite3.Connection]:
        """This thread's connection, holding the writers' flock (see Contention above)."""
        with self._step(what):
            connection = self._connection(durable)
            lock_file: Optional[int] = getattr(self._local, "lock_file", None)
            if lock_file is None:
                lock_file = os.open(self.path + ".lock", os.O_RDWR | os.O_CREAT | os.O_CLOEXEC,
                                    0o644)
                self._local.lock_file = lock_file
                with self._lock:
                    self._lock_files.append(lock_file)
            fcntl.flock(lock_file, fcntl.LOCK_EX)
        try:
            yield connection
        finally:
            fcntl.flock(lock_file, fcntl.LOCK_UN)

    @staticmethod
    def _create_schema(connection: sqlite3.Connection) -> None:
        connection.execute("BEGIN IMMEDIATE")
        try:
            for statement in SCHEMA:
                connection.execute(statement)
            rows = connection.execute("SELECT version FROM orvex_schema").fetchall()
            if not rows:
                connection.execute("INSERT INTO orvex_schema (version) VALUES (?)",
                                   (SCHEMA_VERSION,))
            elif rows != [(SCHEMA_VERSION,)]:
                raise sqlite3.DatabaseError(SCHEMA_VERSION_FOUND.format(rows[0][0], SCHEMA_VERSION))
            connection.execute("COMMIT")
        except BaseException:
            connection.rollback()
            raise

    def reserve(self, budget: str, day: str, amount: float, decide: Decide) -> Reservation:
        amount = check_amount(amount)
        with self._writing(True, LOCK_STEP.format(budget, day)) as connection:
            return self._reserve(connection, budget, day, amount, decide)

    def _reserve(self, connection: sqlite3.Connection, budget: str, day: str, amount: float,
                 decide: Decide) -> Reservation:
        with self._step(LOCK_STEP.format(budget, day)):
            connection.execute("BEGIN IMMEDIATE")
        try:
            with self._step(LOCK_STEP.format(budget, day)):
                row = connection.execute(_COUNTED, (budget, day)).fetchone()
            decide(row[0] if row else 0.0)
        except BaseException:
            connection.rollback()
            raise
        # The guard has decided and logged a PASS: from here a failure leaves a logged PASS
        # whose action must not run, and the error says so.
        reservation = Reservation(new_reservation_id(), budget, day, amount, OPEN,
                                  utc_timestamp())
        try:
            connection.execute(_INSERT, (reservation.id, budget, day, amount,
                                         reservation.created_at))
            connection.execute(_ADD_RESERVED, (budget, day, amount))
            connection.execute("COMMIT")
        except BaseException as error:
            with contextlib.suppress(sqlite3.Error):
                connection.rollback()
            if isinstance(error, sqlite3.Error):
                raise LedgerError(PASS_WITHOUT_BOOKING.format(
                    BOOKING_NOT_RECORDED, self._fail(COMMIT_STEP, error))) \
                    from error
            raise
        return reservation

    def _close(self, reservation_id: str, state: str) -> Reservation:
        what = CLOSE_STEP.format(reservation_id, state)
        with self._writing(False, what) as connection, self._step(what):
            connection.execute("BEGIN IMMEDIATE")
            try:
                row = connection.execute("SELECT %s FROM orvex_reservation WHERE id = ?"
                                         % _RESERVATION_COLUMNS, (reservation_id,)).fetchone()
                if row is None or row[4] != OPEN:
                    raise LedgerError(NO_OPEN_RESERVATION.format(reservation_id))
                reservation = Reservation(row[0], row[1], row[2], row[3], state, row[5])
                connection.execute("UPDATE orvex_reservation SET state = ?, closed_at = ?"
                                   " WHERE id = ?", (state, utc_timestamp(), reservation_id))
                connection.execute(_MOVE[state], (reservation.amount, reservation.amount,
                                                  reservation.budget, reservation.day))
                connection.execute("COMMIT")
            except BaseException:
                connection.rollback()
                raise
        return reservation

    def settle(self, reservation_id: str) -> Reservation:
        return self._close(reservation_id, SETTLED)

    def release(self, reservation_id: str) -> Reservation:
        return self._close(reservation_id, RELEASED)

    def _open_rows(self, where: str, arguments: Tuple[str, ...]) -> List[Reservation]:
        rows = self._connection(durable=False).execute(
            "SELECT %s FROM orvex_reservation WHERE state = 'open'%s ORDER BY created_at, rowid"
            % (_RESERVATION_COLUMNS, where), arguments).fetchall()
        return [Reservation(*row) for row in rows]

    def day(self, budget: str, day: str) -> DaySummary:
        with self._step(DAY_STEP.format(budget, day)):
            connection = self._connection(durable=False)
            # One read transaction: the totals and the open rows are of the same moment.
            connection.execute("BEGIN")
            try:
                row = connection.execute("SELECT reserved, settled, released FROM orvex_budget_day"
                                         " WHERE budget = ? AND day = ?", (budget, day)).fetchone()
                still_open = self._open_rows(" AND budget = ? AND day = ?", (budget, day))
            finally:
                connection.rollback()
        reserved, settled, released = row if row else (0.0, 0.0, 0.0)
        return DaySummary(budget, day, reserved, settled, released, tuple(still_open))

    def open_reservations(self, budget: Optional[str] = None) -> Sequence[Reservation]:
        with self._step(LIST_STEP):
            if budget is None:
                return self._open_rows("", ())
            return self._open_rows(" AND budget = ?", (budget,))

    def close(self) -> None:
        with self._lock:
            connections, self._connections = self._connections, []
            lock_files, self._lock_files = self._lock_files, []
        for connection in connections:
            connection.close()
        for lock_file in lock_files:
            os.close(lock_file)
        self._local = threading.local()
