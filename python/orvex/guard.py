"""`Guard`: the decision of orvex_core joined to a ledger's booking in one atomic step."""
from __future__ import annotations

import asyncio
import contextlib
import datetime
import json
import logging
import math
import sys
import threading
from typing import (Any, AsyncIterator, Callable, Dict, Iterator, List, Mapping, Optional,
                    Sequence, Tuple, Union)

import orvex_core
from orvex import errors
from orvex.ledger import OPEN, Decide, Ledger, LedgerError, Reservation

_log = logging.getLogger("orvex")

Intent = Union[str, Mapping[str, Any]]
Clock = Callable[[], datetime.datetime]


def _utc_now() -> datetime.datetime:
    return datetime.datetime.now(datetime.timezone.utc)


def _zone(timezone: Union[None, str, datetime.tzinfo]) -> datetime.tzinfo:
    """UTC by default, like the audit log's timestamps; a name is read from the zone database."""
    if timezone is None:
        return datetime.timezone.utc
    if isinstance(timezone, datetime.tzinfo):
        return timezone
    if sys.version_info >= (3, 9):  # the zone database came with 3.9
        import zoneinfo
        try:
            return zoneinfo.ZoneInfo(timezone)
        except (zoneinfo.ZoneInfoNotFoundError, ValueError) as error:
            raise ValueError("unknown time zone: %r" % timezone) from error
    raise ValueError("a time zone by name needs Python 3.9 or later; pass a tzinfo")


class Booking:
    """One reservation held by a `reserve` block: settled when the block ends normally, released
    when it ends by an exception or a cancellation, or earlier by `release()`."""

    def __init__(self, ledger: Ledger, reservation: Reservation) -> None:
        self._ledger = ledger
        self.reservation = reservation
        self._lock = threading.Lock()

    @property
    def id(self) -> str:
        return self.reservation.id

    @property
    def amount(self) -> float:
        return self.reservation.amount

    @property
    def state(self) -> str:
        return self.reservation.state

    def settle(self) -> None:
        """The action ran: its amount stays counted. Does nothing once the booking has ended."""
        self._end(self._ledger.settle)

    def release(self) -> None:
        """The action did not run: its amount stops counting. Does nothing once it has ended."""
        self._end(self._ledger.release)

    def _end(self, step: Callable[[str], Reservation]) -> None:
        with self._lock:
            if self.reservation.state == OPEN:
                self.reservation = step(self.reservation.id)

    def _release_quietly(self) -> None:
        """The release on a failure path: the failure that got us here is the one to report. A
        release that fails leaves the amount counted (listed as open), which errs on the safe
        side; the log says so."""
        try:
            self.release()
        except LedgerError:
            _log.exception("reservation %s stays open: release it with "
                           "`python -m orvex reservations --release %s`", self.id, self.id)


class Guard:
    """Decides actions against an intent and books each allowed amount in a ledger, against one
    daily budget.

    `intent` is a dict or JSON text; `spend_param` names the parameter that holds an action's
    cost; `numeric` names further parameters that must be numbers (by default every attribute
    that the intent compares with <= or >=, which the guard would read as 0 when it is not a
    number); `timezone` (a name or a tzinfo) sets where a day starts, UTC by default; `clock`
    returns the current time (for tests)."""

    def __init__(self, intent: Intent, ledger: Ledger, *, budget: str = "default",
                 spend_param: str = "amount", numeric: Optional[Sequence[str]] = None,
                 timezone: Union[None, str, datetime.tzinfo] = None,
                 clock: Clock = _utc_now) -> None:
        self._intent_json = intent if isinstance(intent, str) else self._dump_intent(intent)
        self._constraints = self._read_intent(self._intent_json)
        self._capped = any(c.get("attribute") == errors.SPEND_ATTRIBUTE for c in self._constraints)
        if self._capped and spend_param != "amount":
            raise errors.UnsafeIntent(errors.SPEND_PARAM.format(spend_param))
        self.ledger = ledger
        self.budget = budget
        self.spend_param = spend_param
        if numeric is None:
            numeric = [c["attribute"] for c in self._constraints
                       if c.get("operator") in ("<=", ">=") and isinstance(c.get("attribute"), str)
                       and c["attribute"] != errors.SPEND_ATTRIBUTE]
        self._numeric = tuple(dict.fromkeys([spend_param, *numeric]))
        self._zone = _zone(timezone)
        self._clock = clock

    @staticmethod
    def _dump_intent(intent: Mapping[str, Any]) -> str:
        try:
            return json.dumps(intent, allow_nan=False)
        except (TypeError, ValueError) as error:
            raise errors.MalformedDocument(errors.INTENT_NOT_JSON.format(error)) from None

    @staticmethod
    def _read_intent(intent_json: str) -> List[Dict[str, Any]]:
        """The intent's constraints, once the guard itself has read the intent, refusing the
        spend constraints that the guard would apply otherwise than they read."""
        try:
            # An action that never reads: the guard stops there after reading the intent, so
            # nothing is decided or logged, and only the intent's own failure is reported.
            orvex_core.validate_intent_json(intent_json, "", "")
        except ValueError as error:
            if str(error).startswith(errors.MALFORMED_PREFIXES[0]):
                raise errors.MalformedDocument(str(error)) from error
        try:
            constraints: List[Dict[str, Any]] = json.loads(intent_json)["constraints"]
        except ValueError as error:  # read by the guard, but not by Python's json
            raise errors.MalformedDocument(errors.INTENT_NOT_JSON.format(error)) from None
        for constraint in constraints:
            if constraint["attribute"] != errors.SPEND_ATTRIBUTE:
                continue
            if constraint["operator"] != "<=":
                raise errors.UnsafeIntent(errors.SPEND_OPERATOR.format(constraint["operator"]))
            limit = constraint["value"]
            if isinstance(limit, bool) or not isinstance(limit, (int, float)):
                raise errors.UnsafeIntent(errors.SPEND_LIMIT.format(type(limit).__name__))
        return constraints

    def today(self) -> str:
        """The budget's current day, YYYY-MM-DD in the guard's time zone."""
        return self._clock().astimezone(self._zone).date().isoformat()

    def spent_today(self) -> float:
        """What counts against today's cap: settled plus still reserved."""
        return self.ledger.day(self.budget, self.today()).counted

    def _prepare(self, params: Mapping[str, Any]) -> Tuple[float, str]:
        """The amount to book and the action's JSON text, or InvalidParams for parameters the
        guard would misread."""
        if not isinstance(params, Mapping):
            raise errors.InvalidParams(errors.PARAMS_NOT_A_DICT.format(type(params).__name__))
        for name in self._numeric:
            if name not in params:
                continue
            value = params[name]
            if isinstance(value, bool) or not isinstance(value, (int, float)):
                raise errors.InvalidParams(errors.NOT_A_NUMBER.format(name, type(value).__name__))
            try:
                finite = math.isfinite(value)
            except OverflowError:  # an int beyond every double
                finite = False
            if not finite:
                raise errors.InvalidParams(errors.NOT_FINITE.format(name))
        amount = params.get(self.spend_param, 0)
        if self.spend_param not in params and self._capped:
            raise errors.InvalidParams(errors.MISSING_SPEND.format(self.spend_param))
        if amount < 0:
            raise errors.InvalidParams(errors.NEGATIVE_SPEND.format(self.spend_param))
        try:
            action_json = json.dumps({"params": dict(params)}, allow_nan=False)
        except (TypeError, ValueError) as error:
            raise errors.InvalidParams(errors.PARAMS_NOT_JSON.format(error)) from None
        return float(amount), action_json

    def _decider(self, action_json: str, params: Mapping[str, Any]) -> Decide:
        def decide(counted: float) -> None:
            state_json = json.dumps({"values": {"current_spend": counted}})
            try:
                orvex_core.validate_intent_json(self._intent_json, action_json, state_json)
            except ValueError as error:
                raise errors.from_guard_error(error, self._constraints, dict(params)) from error
            except BaseException as error:
                if errors.is_panic(error):
                    raise errors.SeedError(str(error)) from error
                raise
        return decide

    def _book(self, params: Mapping[str, Any]) -> Booking:
        amount, action_json = self._prepare(params)
        decide = self._decider(action_json, params)
        return Booking(self.ledger, self.ledger.reserve(self.budget, self.today(), amount, decide))

    @contextlib.contextmanager
    def reserve(self, params: Mapping[str, Any]) -> Iterator[Booking]:
        """Decides the action and books its amount in one atomic step, then runs the block
        outside the ledger's lock. Raises Denied, InvalidParams, MalformedDocument, SeedError or
        LedgerError, and then the block does not run."""
        booking = self._book(params)
        try:
            yield booking
        except BaseException:
            booking._release_quietly()
            raise
        booking.settle()

    @contextlib.asynccontextmanager
    async def reserve_async(self, params: Mapping[str, Any]) -> AsyncIterator[Booking]:
        """`reserve` for coroutines: the ledger's step runs in a worker thread, so a ledger that
        waits for its lock does not stop the event loop. A task cancelled while that step runs
        still has its reservation released once the step has booked it."""
        handoff = _Handoff()
        loop = asyncio.get_running_loop()
        work = loop.run_in_executor(None, handoff.run, lambda: self._book(params))
        try:
            # Shielded: a cancelled await must not drop the worker's result on the floor.
            booking = await asyncio.shield(work)
        except asyncio.CancelledError:
            handoff.abandon()
            # A refusal that arrives after the cancellation is nobody's to report.
            work.add_done_callback(lambda done: done.cancelled() or done.exception())
            raise
        try:
            yield booking
        except BaseException:
            # Released here on the loop's thread, not awaited: a second cancellation must not
            # leave the booking open. The step is one short transaction.
            booking._release_quietly()
            raise
        await asyncio.shield(loop.run_in_executor(None, booking.settle))


class _Handoff:
    """Hands a booking made in a worker thread to a coroutine that may have been cancelled in
    the meantime; whichever of the two comes second releases it."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._abandoned = False
        self._booking: Optional[Booking] = None

    def run(self, book: Callable[[], Booking]) -> Booking:
        booking = book()
        with self._lock:
            self._booking = booking
            abandoned = self._abandoned
        if abandoned:
            booking._release_quietly()
        return booking

    def abandon(self) -> None:
        with self._lock:
            self._abandoned = True
            booking = self._booking
        if booking is not None:
            booking._release_quietly()

