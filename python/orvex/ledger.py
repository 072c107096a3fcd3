"""The spend ledger: one atomic "read the day's total, decide, book" step per decision.

A ledger keeps, per budget and day, a running total of what is reserved (booked, the action not
yet finished) and settled (the action ran), and one row per reservation. Every backend offers the
same five operations; `Guard` uses nothing else, so a decision means the same on every backend.
"""
from __future__ import annotations

import abc
import math
from dataclasses import dataclass
from typing import Callable, Optional, Sequence, Tuple

from orvex.errors import RESERVATION_AMOUNT, OrvexError

# The states of a reservation. An open reservation counts against the day's cap until it is
# settled (it keeps counting) or released (it stops counting).
OPEN = "open"
SETTLED = "settled"
RELEASED = "released"


class LedgerError(OrvexError):
    """The ledger could not be reached, or failed in the middle of a step.

    No action is allowed without its booking: whatever raised this, the caller must not run the
    action it asked about."""


@dataclass(frozen=True)
class Reservation:
    """One booking of `amount` against `budget` on `day` (an ISO date, YYYY-MM-DD)."""

    id: str
    budget: str
    day: str
    amount: float
    state: str
    created_at: str  # RFC 3339, UTC


@dataclass(frozen=True)
class DaySummary:
    """A budget's day: `reserved` is the open reservations' total, `settled` and `released` the
    totals of those that ended; `reserved + settled` is what counts against the cap."""

    budget: str
    day: str
    reserved: float
    settled: float
    released: float
    open: Tuple[Reservation, ...]

    @property
    def counted(self) -> float:
        return self.reserved + self.settled


# Called inside the ledger's atomic step with the day's counted total (reserved + settled); it
# returns to allow the booking and raises to refuse it (the exception reaches the caller as is).
Decide = Callable[[float], None]


def check_amount(amount: float) -> float:
    """The amount as a float; one NaN, infinite or negative amount in a running total would
    spoil every later decision, so it is refused before any lock is taken."""
    if isinstance(amount, bool) or not isinstance(amount, (int, float)) \
            or not math.isfinite(amount) or amount < 0:
        raise LedgerError(RESERVATION_AMOUNT.format(amount))
    return float(amount)


class Ledger(abc.ABC):
    """A store of reservations whose `reserve` is one atomic step for a budget and day."""

    @abc.abstractmethod
    def reserve(self, budget: str, day: str, amount: float, decide: Decide) -> Reservation:
        """Takes the lock of (`budget`, `day`), reads the counted total, calls `decide(total)`
        and, when it returns, records an open reservation of `amount` and commits, all in one
        step. When `decide` raises, nothing is recorded and the exception propagates. When the
        ledger fails after `decide` returned (the commit, say), raises `LedgerError`, saying that
        a decision may have been recorded for an action that must not run."""

    @abc.abstractmethod
    def settle(self, reservation_id: str) -> Reservation:
        """Marks an open reservation settled: its amount stays counted. Raises `LedgerError`
        naming the id when no open reservation has it."""

    @abc.abstractmethod
    def release(self, reservation_id: str) -> Reservation:
        """Marks an open reservation released: its amount stops counting. Raises `LedgerError`
        naming the id when no open reservation has it."""

    @abc.abstractmethod
    def day(self, budget: str, day: str) -> DaySummary:
        """The budget's totals on that day, with its open reservations."""

    @abc.abstractmethod
    def open_reservations(self, budget: Optional[str] = None) -> Sequence[Reservation]:
        """Every open reservation (of one budget, when named), oldest first."""

    def close(self) -> None:
        """Releases the ledger's connections; the default has none."""

    def __enter__(self) -> "Ledger":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()
