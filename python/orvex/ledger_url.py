"""`open_ledger`: a ledger from the text an operator writes in a setting or on a command line."""
from __future__ import annotations

import importlib

from orvex.ledger import Ledger
from orvex.sqlite_ledger import SqliteLedger

SQLITE_SCHEME = "sqlite:///"
POSTGRES_SCHEMES = ("postgresql://", "postgres://")


def open_ledger(url: str) -> Ledger:
    """`sqlite:///PATH` or a plain path: a SqliteLedger (`sqlite:///data/x.db` is relative,
    `sqlite:////var/lib/x.db` absolute). `postgresql://...`: a PostgresLedger, whose module and
    driver are imported only then, so that a host without them still opens SQLite ledgers."""
    if url.startswith(POSTGRES_SCHEMES):
        # Without psycopg this raises LedgerError, saying which extra to install.
        module = importlib.import_module("orvex.postgres_ledger")
        ledger: Ledger = module.PostgresLedger(url)
        return ledger
    if url.startswith(SQLITE_SCHEME):
        return SqliteLedger(url[len(SQLITE_SCHEME):])
    if "://" in url:
        raise ValueError("a ledger is sqlite:///PATH, postgresql://... or a file path, not %r"
                         % url)
    return SqliteLedger(url)
