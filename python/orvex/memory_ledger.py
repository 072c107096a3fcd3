"""`MemoryLedger`: the ledger of one process, for tests and notebooks; nothing outlives it."""
from __future__ import annotations

import dataclasses
import threading
from typing import Dict, List, Optional, Sequence, Tuple

from orvex._rows import new_reservation_id, utc_timestamp
from orvex.errors import NO_OPEN_RESERVATION
from orvex.ledger import (OPEN, RELEASED, SETTLED, DaySummary, Decide, Ledger, LedgerError,
                          Reservation, check_amount)


class MemoryLedger(Ledger):
    """Running totals per budget and day and the reservations, behind one lock. Holds only
    within one process: a second process has a ledger of its own and does not see this cap."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        # (budget, day) -> [reserved, settled, released]
        self._totals: Dict[Tuple[str, str], List[float]] = {}
        self._reservations: Dict[str, Reservation] = {}

    def reserve(self, budget: str, day: str, amount: float, decide: Decide) -> Reservation:
        amount = check_amount(amount)
        with self._lock:
            totals = self._totals.setdefault((budget, day), [0.0, 0.0, 0.0])
            decide(totals[0] + totals[1])
            reservation = Reservation(new_reservation_id(), budget, day, amount, OPEN,
                                      utc_timestamp())
            self._reservations[reservation.id] = reservation
            totals[0] += amount
            return reservation

    def _close(self, reservation_id: str, state: str) -> Reservation:
        with self._lock:
            reservation = self._reservations.get(reservation_id)
            if reservation is None or reservation.state != OPEN:
                raise LedgerError(NO_OPEN_RESERVATION.format(reservation_id))
            totals = self._totals[(reservation.budget, reservation.day)]
            totals[0] -= reservation.amount
            totals[1 if state == SETTLED else 2] += reservation.amount
            closed = dataclasses.replace(reservation, state=state)
            self._reservations[reservation_id] = closed
            return closed

    def settle(self, reservation_id: str) -> Reservation:
        return self._close(reservation_id, SETTLED)

    def release(self, reservation_id: str) -> Reservation:
        return self._close(reservation_id, RELEASED)

    def day(self, budget: str, day: str) -> DaySummary:
        with self._lock:
            reserved, settled, released = self._totals.get((budget, day), (0.0, 0.0, 0.0))
            still_open = tuple(r for r in self._reservations.values()
                               if r.state == OPEN and (r.budget, r.day) == (budget, day))
        return DaySummary(budget, day, reserved, settled, released, still_open)

    def open_reservations(self, budget: Optional[str] = None) -> Sequence[Reservation]:
        with self._lock:
            # Insertion order is creation order.
            return [r for r in self._reservations.values()
                    if r.state == OPEN and budget in (None, r.budget)]
