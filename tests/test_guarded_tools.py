"""examples/guarded_tools.py: the decorator that guards an agent's tools, plain and asyncio."""

import asyncio
import datetime
import importlib.util
import threading
from pathlib import Path

import pytest

from conftest import log_records

EXAMPLE = Path(__file__).resolve().parent.parent / "examples" / "guarded_tools.py"
spec = importlib.util.spec_from_file_location("guarded_tools", EXAMPLE)
guarded_tools = importlib.util.module_from_spec(spec)
spec.loader.exec_module(guarded_tools)

ToolRefused, DailySpend, guarded = guarded_tools.ToolRefused, guarded_tools.DailySpend, guarded_tools.guarded

# At most 100 a purchase, at most 300 a day, vendor "v".
INTENT = {
    "id": "test", "objective": "o", "mode": "strict", "version": "1",
    "constraints": [
        {"attribute": "total_daily_spend", "operator": "<=", "value": 300, "priority": 0},
        {"attribute": "vendor", "operator": "==", "value": "v", "priority": 0},
        {"attribute": "amount", "operator": "<=", "value": 100, "priority": 0},
    ],
}


def make_tool(spend, intent=INTENT, fail=False):
    ran = []

    @guarded(intent, spend)
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


# (keyword arguments, spend already booked, the refusal's reason)
DENIALS = [
    ({"vendor": "w", "amount": 10}, 0, 'Constraint violation: vendor == String("v")'),
    ({"vendor": "v", "amount": 150}, 0, "Constraint violation: amount <= Number(100)"),
    ({"vendor": "v", "amount": 90}, 250, "Dynamic Violation: Total spend would reach 340"),
    ({"amount": 10}, 0, "Missing required attribute: vendor"),
]


@pytest.mark.parametrize("params, booked, reason", DENIALS, ids=[d[2][:30] for d in DENIALS])
def test_a_denial_is_the_tools_refusal_and_is_logged(workdir, params, booked, reason):
    spend = DailySpend()
    buy, ran = make_tool(spend)
    if booked:
        spend.book_if(booked, lambda spent: None)

    @guarded(INTENT, spend)
    def buy_any(**kwargs):          # no required parameters, so a missing one reaches the guard
        ran.append(kwargs)

    with pytest.raises(ToolRefused) as refusal:
        buy_any(**params)
    assert refusal.value.reason == reason and refusal.value.tool == "buy_any"
    assert ran == [] and spend.spent() == booked
    assert [(r["result"], r["reason"]) for r in log_records(workdir)] == [("FAIL", reason)]


# Arguments the guard would read as 0.0 (or as a negative spend): refused before asking.
REFUSED_BEFORE_ASKING = [
    ((), {"vendor": "v", "amount": "20"}, "amount must be a number, not str"),
    ((), {"vendor": "v", "amount": None}, "amount must be a number, not NoneType"),
    ((), {"vendor": "v", "amount": True}, "amount must be a number, not bool"),
    ((), {"vendor": "v", "amount": [5]}, "amount must be a number, not list"),
    ((), {"vendor": "v", "amount": float("nan")}, "amount must be finite"),
    ((), {"vendor": "v", "amount": float("inf")}, "amount must be finite"),
    ((), {"vendor": "v", "amount": -50}, "amount must not be negative"),
    ((), {"vendor": "v", "amount": 5, "note": {1, 2}},
     "arguments are not JSON: Object of type set is not JSON serializable"),
    (("v", 5), {}, "call it with keyword arguments only"),
]


@pytest.mark.parametrize("args, params, reason", REFUSED_BEFORE_ASKING,
                         ids=[r[2][:30] for r in REFUSED_BEFORE_ASKING])
def test_bad_arguments_are_refused_without_asking(workdir, args, params, reason):
    spend = DailySpend()
    buy, ran = make_tool(spend)
    with pytest.raises(ToolRefused) as refusal:
        buy(*args, **params)
    assert refusal.value.reason == reason
    assert ran == [] and spend.spent() == 0
    assert log_records(workdir) == []


def test_without_the_type_check_the_guard_would_allow_a_string_amount(workdir):
    """Why the check is there: the guard itself counts "150" as 0.0 and allows it."""
    spend = DailySpend()
    lenient = guarded(INTENT, spend, numeric=())(lambda **params: "ran")
    assert lenient(vendor="v", amount="150") == "ran"
    assert log_records(workdir)[0]["result"] == "PASS"


def test_the_days_spend_adds_up_and_starts_again_the_next_day(workdir):
    day = [datetime.date(2026, 3, 1)]
    spend = DailySpend(today=lambda: day[0])
    buy, ran = make_tool(spend)
    for _ in range(3):
        buy(vendor="v", amount=100)
    with pytest.raises(ToolRefused, match="Total spend would reach 301"):
        buy(vendor="v", amount=1)
    day[0] = datetime.date(2026, 3, 2)
    assert buy(vendor="v", amount=100) == "bought 100"
    assert spend.spent() == 100 and ran == [100, 100, 100, 100]


def test_a_failing_tool_hands_its_amount_back(workdir):
    spend = DailySpend()
    buy, ran = make_tool(spend, fail=True)
    with pytest.raises(RuntimeError, match="the shop is closed"):
        buy(vendor="v", amount=80)
    assert ran == [80] and spend.spent() == 0


def test_a_malformed_intent_is_a_bug_not_a_refusal(workdir):
    broken = dict(INTENT, constraints=[{"attribute": "amount", "operator": "<=", "value": 1}])
    buy, ran = make_tool(DailySpend(), intent=broken)
    with pytest.raises(ValueError, match="^Invalid Intent JSON: missing field `priority`") as error:
        buy(vendor="v", amount=1)
    assert not isinstance(error.value, ToolRefused)
    assert ran == [] and log_records(workdir) == []


def test_asyncio_tasks_at_once_cannot_overspend(workdir):
    """Five tasks of 100 against a cap of 300: the amount is booked before the tool awaits,
    so exactly three pass, whatever the interleaving."""
    spend = DailySpend()

    @guarded(INTENT, spend)
    async def buy_later(*, vendor, amount):
        await asyncio.sleep(0.01)
        return amount

    async def five():
        return await asyncio.gather(*[buy_later(vendor="v", amount=100) for _ in range(5)],
                                    return_exceptions=True)

    outcomes = asyncio.run(five())
    assert outcomes[:3] == [100, 100, 100]
    assert [o.reason for o in outcomes[3:]] == ["Dynamic Violation: Total spend would reach 400"] * 2
    assert spend.spent() == 300
    assert [r["result"] for r in log_records(workdir)] == ["PASS"] * 3 + ["FAIL"] * 2


def test_a_cancelled_async_tool_hands_its_amount_back(workdir):
    spend = DailySpend()

    @guarded(INTENT, spend)
    async def slow(*, vendor, amount):
        await asyncio.sleep(10)

    async def cancel():
        task = asyncio.ensure_future(slow(vendor="v", amount=70))
        await asyncio.sleep(0.01)
        assert spend.spent() == 70
        task.cancel()
        with pytest.raises(asyncio.CancelledError):
            await task

    asyncio.run(cancel())
    assert spend.spent() == 0


def test_threads_at_once_cannot_overspend(workdir):
    spend = DailySpend()
    release = threading.Event()

    @guarded(INTENT, spend)
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

    wrapped = guarded(INTENT, DailySpend())(buy)
    assert (wrapped.__name__, wrapped.__doc__) == ("buy", "Buys things.")
