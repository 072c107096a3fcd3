"""Guarding an agent's tools with orvex: the `guarded` decorator for plain and asyncio tool
functions.

    guard = orvex.Guard(INTENT, orvex.SqliteLedger("spend.db"))

    @orvex.guarded(guard)
    def buy(*, vendor, amount): ...

Before the tool runs, the decorator takes the call's keyword arguments as the action's params,
refuses an amount that is not a finite, non-negative number (the guard would read a string or
null as 0.0), asks the guard with the day's total from the ledger and books the amount, all in
one step; a denial becomes `ToolRefused` and the tool does not run. The booking is settled when
the tool returns and released when it raises or is cancelled.

Every decision is appended to orvex_audit.log in the working directory, signed with the key from
ORVEX_SEED. Run it as `python3 examples/guarded_tools.py` with ORVEX_SEED set.
"""
import asyncio
import json
import os
import sys

import orvex

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
    # One process here, so a MemoryLedger will do; several processes share a SqliteLedger.
    guard = orvex.Guard(INTENT, orvex.MemoryLedger())

    @orvex.guarded(guard)
    def buy(*, vendor, amount):
        return "ordered %s from %s" % (amount, vendor)

    @orvex.guarded(guard)
    async def buy_later(*, vendor, amount):
        await asyncio.sleep(0.01)
        return "ordered %s from %s" % (amount, vendor)

    def attempt(call, **params):
        try:
            print("%-45s %s" % (json.dumps(params), call(**params)))
        except orvex.ToolRefused as refusal:
            print("%-45s refused: %s" % (json.dumps(params), refusal.reason))

    print("-- plain calls")
    attempt(buy, vendor="vendor-9", amount=120)
    attempt(buy, vendor="vendor-7", amount=40)
    attempt(buy, vendor="vendor-9", amount=250)
    attempt(buy, vendor="vendor-9", amount="20")
    attempt(buy, vendor="vendor-9", amount=-100)

    async def from_asyncio():
        print("-- three asyncio tasks at once, 150 each, with %g spent" % guard.spent_today())
        calls = [buy_later(vendor="vendor-9", amount=150) for _ in range(3)]
        outcomes = await asyncio.gather(*calls, return_exceptions=True)
        # Which of the three is refused depends on which reaches the ledger last.
        for outcome in sorted(outcomes, key=lambda o: isinstance(o, orvex.ToolRefused)):
            print("   %s" % (outcome.reason if isinstance(outcome, orvex.ToolRefused) else outcome))

    asyncio.run(from_asyncio())
    print("-- spent today: %g" % guard.spent_today())


if __name__ == "__main__":
    main()
