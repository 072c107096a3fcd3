"""Guarding an agent's tools with orvex_core: a decorator for plain and asyncio tool functions.

    @guarded(INTENT, ledger, numeric=("amount",))
    def buy(*, vendor, amount): ...

Before the tool runs, the decorator
1. refuses positional arguments: the action's parameters are the call's keyword arguments, by name;
2. checks types itself: each parameter named in `numeric` must be a finite int or float (not a
   bool), and the spend parameter must not be negative. The guard reads a string or null as 0.0
   and a negative amount lowers the day's total, so such a call is refused here, without asking;
3. asks the guard with the action {"params": <keyword arguments>} and the state
   {"values": {"current_spend": <the day's spend so far>}};
4. turns a denial into `ToolRefused` (the tool does not run) and lets the ValueError of a
   malformed document through: that is a bug in the caller, not a refusal.
An allowed amount is booked before the tool runs, so that concurrent calls (threads or asyncio
tasks) cannot all pass against the same spend, and handed back if the tool fails.

Every decision is appended to orvex_audit.log in the working directory, signed with the key from
ORVEX_SEED. Run it as `python3 examples/guarded_tools.py` with ORVEX_SEED set.
"""
import asyncio
import datetime
import functools
import inspect
import json
import math
import os
import sys
import threading

import orvex_core

# The texts of a malformed document, as opposed to a denial: see "Telling errors apart" in the README.
MALFORMED_PREFIXES = ("Invalid Intent JSON: ", "Invalid Action JSON: ", "Invalid State JSON: ")


class ToolRefused(Exception):
    """The tool was not run: the guard denied the call, or its arguments were refused before asking."""

    def __init__(self, tool, reason):
        super().__init__("%s refused: %s" % (tool, reason))
        self.tool = tool
        self.reason = reason


class DailySpend:
    """The spend booked today (UTC), shared by every tool guarded with it; thread-safe."""

    def __init__(self, today=lambda: datetime.datetime.now(datetime.timezone.utc).date()):
        self._today = today
        self._day = None
        self._spent = 0
        self._lock = threading.Lock()

    def spent(self):
        with self._lock:
            return self._current()

    def _current(self):
        if self._day != self._today():
            self._day, self._spent = self._today(), 0
        return self._spent

    def book_if(self, amount, allowed):
        """Books `amount` if `allowed(spent so far)` does not raise; both under one lock."""
        with self._lock:
            allowed(self._current())
            self._spent += amount

    def hand_back(self, amount):
        with self._lock:
            self._current()
            self._spent -= amount


def refuse_bad_types(tool, params, numeric, spend_parameter):
    """Refuses what the guard would quietly read as 0.0 (or as a negative spend)."""
    for name in numeric:
        if name not in params:
            continue
        value = params[name]
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise ToolRefused(tool, "%s must be a number, not %s" % (name, type(value).__name__))
        if not math.isfinite(value):
            raise ToolRefused(tool, "%s must be finite" % name)
        if name == spend_parameter and value < 0:
            raise ToolRefused(tool, "%s must not be negative" % name)


def guarded(intent, spend, numeric=("amount",), spend_parameter="amount"):
    """Decorates a tool (a plain or an async function taking keyword arguments) with the guard.

    `intent` is the intent as a dict or as JSON text; `spend` a DailySpend shared by the tools
    that spend from the same daily cap."""
    intent_json = intent if isinstance(intent, str) else json.dumps(intent)

    def decorate(tool):
        name = tool.__name__

        def ask(args, params):
            """Asks the guard and books the amount; returns the amount booked."""
            if args:
                raise ToolRefused(name, "call it with keyword arguments only")
            refuse_bad_types(name, params, numeric, spend_parameter)
            amount = params.get(spend_parameter, 0)
            if isinstance(amount, bool) or not isinstance(amount, (int, float)):
                amount = 0          # as the guard counts it, when `numeric` lets it through
            try:
                action_json = json.dumps({"params": params}, allow_nan=False)
            except (TypeError, ValueError) as error:
                raise ToolRefused(name, "arguments are not JSON: %s" % error) from None

            def decide(spent_so_far):
                state_json = json.dumps({"values": {"current_spend": spent_so_far}})
                try:
                    orvex_core.validate_intent_json(intent_json, action_json, state_json)
                except ValueError as error:
                    if str(error).startswith(MALFORMED_PREFIXES):
                        raise
                    raise ToolRefused(name, str(error)) from None

            spend.book_if(amount, decide)
            return amount

        if inspect.iscoroutinefunction(tool):
            @functools.wraps(tool)
            async def guarded_async_tool(*args, **params):
                amount = ask(args, params)
                try:
                    return await tool(**params)
                except BaseException:
                    spend.hand_back(amount)
                    raise
            return guarded_async_tool

        @functools.wraps(tool)
        def guarded_tool(*args, **params):
            amount = ask(args, params)
            try:
                return tool(**params)
            except BaseException:
                spend.hand_back(amount)
                raise
        return guarded_tool

    return decorate


# A small agent: office purchases up to 200 each, from one vendor, at most 500 a day.
INTENT = {
    "id": "intent-42", "objective": "Restock office supplies", "mode": "strict", "version": "1.2",
    "constraints": [
        {"attribute": "total_daily_spend", "operator": "<=", "value": 500, "priority": 1},
        {"attribute": "vendor", "operator": "==", "value": "vendor-9", "priority": 2},
        {"attribute": "amount", "operator": "<=", "value": 200, "priority": 3},
    ],
}


def main():
    if "ORVEX_SEED" not in os.environ:
        sys.exit("set ORVEX_SEED first: export ORVEX_SEED=\"$(python3 -c "
                 "'import secrets; print(secrets.token_hex(32))')\"")
    spend = DailySpend()

    @guarded(INTENT, spend)
    def buy(*, vendor, amount):
        return "ordered %s from %s" % (amount, vendor)

    @guarded(INTENT, spend)
    async def buy_later(*, vendor, amount):
        await asyncio.sleep(0.01)
        return "ordered %s from %s" % (amount, vendor)

    def attempt(call, **params):
        try:
            print("%-45s %s" % (json.dumps(params), call(**params)))
        except ToolRefused as refusal:
            print("%-45s refused: %s" % (json.dumps(params), refusal.reason))

    print("-- plain calls")
    attempt(buy, vendor="vendor-9", amount=120)
    attempt(buy, vendor="vendor-7", amount=40)
    attempt(buy, vendor="vendor-9", amount=250)
    attempt(buy, vendor="vendor-9", amount="20")
    attempt(buy, vendor="vendor-9", amount=-100)

    async def from_asyncio():
        print("-- three asyncio tasks at once, 150 each, with %s spent" % spend.spent())
        calls = [buy_later(vendor="vendor-9", amount=150) for _ in range(3)]
        for outcome in await asyncio.gather(*calls, return_exceptions=True):
            print("   %s" % (outcome.reason if isinstance(outcome, ToolRefused) else outcome))

    asyncio.run(from_asyncio())
    print("-- spent today: %s" % spend.spent())


if __name__ == "__main__":
    main()
