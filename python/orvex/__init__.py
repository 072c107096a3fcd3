"""orvex: the guard of orvex_core with a spend ledger that holds one daily cap across threads,
processes and hosts."""
from orvex.ledger import (OPEN, RELEASED, SETTLED, DaySummary, Ledger, LedgerError,
                          Reservation)

__version__ = "0.1.0"

__all__ = ["DaySummary", "Ledger", "LedgerError", "OPEN", "RELEASED", "Reservation", "SETTLED",
           "__version__"]
