"""orvex: the guard of orvex_core with a spend ledger that holds one daily cap across threads,
processes and hosts."""
from orvex.errors import (CONSTRAINT, DAILY_SPEND, MISSING_ATTRIBUTE, UNSUPPORTED_OPERATOR,
                          Denied, InvalidParams, MalformedDocument, OrvexError, SeedError,
                          UnsafeIntent)
from orvex.guard import Booking, Guard
from orvex.ledger import (OPEN, RELEASED, SETTLED, DaySummary, Ledger, LedgerError,
                          Reservation)
from orvex.ledger_url import open_ledger
from orvex.memory_ledger import MemoryLedger
# psycopg is imported only when a PostgresLedger is made: `import orvex` works without it.
from orvex.postgres_ledger import PostgresLedger
from orvex.sqlite_ledger import SqliteLedger
from orvex.tools import ToolRefused, guarded
from orvex.version import __version__

__all__ = ["Booking", "CONSTRAINT", "DAILY_SPEND", "DaySummary", "Denied", "Guard",
           "InvalidParams", "Ledger", "LedgerError", "MISSING_ATTRIBUTE",
           "MalformedDocument", "MemoryLedger", "OPEN", "OrvexError", "PostgresLedger",
           "RELEASED", "Reservation", "SETTLED", "SeedError", "SqliteLedger",
           "ToolRefused", "UNSUPPORTED_OPERATOR", "UnsafeIntent", "__version__",
           "guarded", "open_ledger"]
