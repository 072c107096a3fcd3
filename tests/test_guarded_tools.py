"""orvex.guarded: the decorator that guards an agent's tools, plain and asyncio."""

import asyncio
import datetime
import json
import threading

import pytest

import orvex
import orvex_core
from conftest import log_records
from orvex import ToolRefused


# At most 100 a purchase, at most 300 a day, vendor "v".
INTENT = {
    "id": "test", "objective": "o", "mode": "strict", "version": "1",
    "constraints": [
        {"attribute": "total_daily_spend", "operator": "<=", "value": 300, "priority": 0},
        {"attribute": "vendor", "operator": "==", "value": "v", "priority": 0},
        {"attribute": "amount", "operator": "<=", "value": 100, "priority": 0},
    ],
}


class DailySpend:
    """A guard over a MemoryLedger, for one test; `spent()` is what counts today."""

    def __init__(self, intent=INTENT, clock=None):
        self.ledger = orvex.MemoryLedger()
        self.guard = orvex.Guard(intent, self.ledger, **({"clock": clock} if clock else {}))

    def spent(self):
        return self.guard.spent_today()

    def book(self, amount):
        self.ledger.reserve(self.guard.budget, self.guard.today(), amount, lambda counted: None)


def guarded(spend, **options):
    return orvex.guarded(spend.guard, **options)


def make_tool(spend, fail=False):
    ran = []

    @guarded(spend)
    def buy(*, vendor, amount, note=None):
        ran.append(amount)
        if fail:
            raise RuntimeError("the shop is closed")
        return "bought %s" % amount

    return buy, ran


def test_an_allowed_call_runs_the_tool_books_the_spend_and_is_logged(workdir):
    spend = DailySpend()
    buy, ran = make_tool(spend)
    assert buy(vendor="v", amount=60, note="paper") == "bought 60"
    assert ran == [60] and spend.spent() == 60
    [record] = log_records(workdir)
    assert (record["result"], record["reason"]) == ("PASS", None)
    assert record["action_params"] == {"amount": 60, "note": "paper", "vendor": "v"}


# Denials and arguments refused before asking, through a tool and through Guard.reserve, are
# one table in test_guard.py.


def test_without_the_type_check_the_guard_would_allow_a_string_amount(workdir):
    """Why the check is there: the guard itself counts "150" as 0.0 and allows it."""
    assert orvex_core.validate_intent_json(json.dumps(INTENT), '{"params": {"vendor": "v", '
                                           '"amount": "150"}}', '{"values": {}}') is True
    assert log_records(workdir)[0]["result"] == "PASS"


def test_a_refusal_can_be_the_tools_text_for_a_model(workdir):
    spend = DailySpend()
    buy = guarded(spend, refusal_as_text=True)(lambda **params: "ran")
    assert buy(vendor="w", amount=5) == 'refused: Constraint violation: vendor == String("v")'
    assert buy("v") == "refused: call it with keyword arguments only"
    assert buy(vendor="v", amount=5) == "ran"


def test_the_days_spend_adds_up_and_starts_again_the_next_day(workdir):
    day = [datetime.datetime(2026, 3, 1, 23, 59, tzinfo=datetime.timezone.utc)]
    spend = DailySpend(clock=lambda: day[0])
    buy, ran = make_tool(spend)
    for _ in range(3):
        buy(vendor="v", amount=100)
    with pytest.raises(ToolRefused, match="Total spend would reach 301"):
        buy(vendor="v", amount=1)
    day[0] = datetime.datetime(2026, 3, 2, tzinfo=datetime.timezone.utc)
    assert buy(vendor="v", amount=100) == "bought 100"
    assert spend.spent() == 100 and ran == [100, 100, 100, 100]


def test_a_failing_tool_hands_its_amount_back(workdir):
    spend = DailySpend()
    buy, ran = make_tool(spend, fail=True)
    with pytest.raises(RuntimeError, match="the shop is closed"):
        buy(vendor="v", amount=80)
    assert ran == [80] and spend.spent() == 0
    assert spend.ledger.day("default", spend.guard.today()).released == 80


def test_a_malformed_intent_is_a_bug_not_a_refusal(workdir):
    broken = dict(INTENT, constraints=[{"attribute": "amount", "operator": "<=", "value": 1}])
    with pytest.raises(ValueError, match="^Invalid Intent JSON: missing field `priority`") as error:
        DailySpend(intent=broken)
    assert isinstance(error.value, orvex.MalformedDocument)
    assert log_records(workdir) == []


def test_asyncio_tasks_at_once_cannot_overspend(workdir):
    """Five tasks of 100 against a cap of 300: the amount is booked before the tool awaits,
    so exactly three pass, whatever the interleaving."""
    spend = DailySpend()

    @guarded(spend)
    async def buy_later(*, vendor, amount):
        await asyncio.sleep(0.01)
        return amount

    async def five():
        return await asyncio.gather(*[buy_later(vendor="v", amount=100) for _ in range(5)],
                                    return_exceptions=True)

    outcomes = asyncio.run(five())
    assert sorted(str(o) if o == 100 else o.reason for o in outcomes) == \
        ["100"] * 3 + ["Dynamic Violation: Total spend would reach 400"] * 2
    assert spend.spent() == 300
    assert [r["result"] for r in log_records(workdir)] == ["PASS"] * 3 + ["FAIL"] * 2


def test_a_cancelled_async_tool_hands_its_amount_back(workdir):
    spend = DailySpend()

    @guarded(spend)
    async def slow(*, vendor, amount):
        await asyncio.sleep(10)

    async def cancel():
        task = asyncio.ensure_future(slow(vendor="v", amount=70))
        for _ in range(500):            # the booking is made in a worker thread
            await asyncio.sleep(0.01)
            if spend.spent():
                break
        assert spend.spent() == 70
        task.cancel()
        with pytest.raises(asyncio.CancelledError):
            await task

    asyncio.run(cancel())
    assert spend.spent() == 0


def test_threads_at_once_cannot_overspend(workdir):
    spend = DailySpend()
    release = threading.Event()

    @guarded(spend)
    def buy(*, vendor, amount):
        release.wait(5)

    outcomes = []

    def call():
        try:
            buy(vendor="v", amount=100)
            outcomes.append("ran")
        except ToolRefused as refusal:
            outcomes.append(refusal.reason)

    threads = [threading.Thread(target=call) for _ in range(6)]
    for thread in threads:
        thread.start()
    release.set()
    for thread in threads:
        thread.join()
    assert sorted(outcomes) == ["Dynamic Violation: Total spend would reach 400"] * 3 + ["ran"] * 3
    assert spend.spent() == 300


def test_the_tool_keeps_its_name_and_documentation():
    def buy(*, vendor, amount):
        """Buys things."""

    wrapped = guarded(DailySpend())(buy)
    assert (wrapped.__name__, wrapped.__doc__) == ("buy", "Buys things.")
