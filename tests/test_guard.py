"""orvex.Guard: what it refuses to build, how its answers are typed, and whose day it counts."""

import datetime
import re
import subprocess
import sys
from pathlib import Path

import pytest

import orvex
from conftest import log_records

ROOT = Path(__file__).resolve().parent.parent


def intent(*constraints):
    return {"id": "i", "objective": "o", "mode": "m", "version": "1",
            "constraints": [{"attribute": a, "operator": o, "value": v, "priority": 0}
                            for a, o, v in constraints]}


CAP = ("total_daily_spend", "<=", 300)

# (intent, options, exception, exact text)
REFUSED_AT_CONSTRUCTION = [
    ('{"id": "i"', {}, orvex.MalformedDocument,
     "Invalid Intent JSON: EOF while parsing an object at line 1 column 10"),
    (intent(("total_daily_spend", ">=", 300)), {}, orvex.UnsafeIntent,
     "the total_daily_spend constraint has the operator '>=', which the guard ignores (it "
     "always applies <=): write <="),
    (intent(("total_daily_spend", "<=", "300")), {}, orvex.UnsafeIntent,
     "the total_daily_spend constraint's value must be a number, not str: the guard reads "
     "anything else as 0"),
    (intent(("total_daily_spend", "<=", True)), {}, orvex.UnsafeIntent,
     "the total_daily_spend constraint's value must be a number, not bool: the guard reads "
     "anything else as 0"),
    (intent(CAP), {"spend_param": "cost"}, orvex.UnsafeIntent,
     "spend_param is 'cost', but the guard's daily cap counts the parameter 'amount': an intent "
     "with a total_daily_spend constraint needs spend_param='amount'"),
    (dict(intent(), extra={1, 2}), {}, orvex.MalformedDocument,
     "the intent is not JSON: Object of type set is not JSON serializable"),
]


@pytest.mark.parametrize("document, options, kind, text", REFUSED_AT_CONSTRUCTION,
                         ids=[t[:40] for *_, t in REFUSED_AT_CONSTRUCTION])
def test_what_the_guard_would_misread_is_refused_at_construction(workdir, document, options,
                                                                 kind, text):
    with pytest.raises(kind) as error:
        orvex.Guard(document, orvex.MemoryLedger(), **options)
    assert str(error.value) == text and isinstance(error.value, ValueError)
    assert log_records(workdir) == []


DENYING = intent(CAP, ("unit price", "<=", 10), ("vendor", "==", "v"), ("amount", "<=", 100),
                 ("mode of payment", "<", 1))
# (params, already counted, reason, kind, attribute)
DENIALS = [
    ({"amount": 1, "unit price": 11}, 0, "Constraint violation: unit price <= Number(10)",
     orvex.CONSTRAINT, "unit price"),
    ({"amount": 1, "unit price": 1, "vendor": "w"}, 0, 'Constraint violation: vendor == String("v")',
     orvex.CONSTRAINT, "vendor"),
    ({"amount": 150, "unit price": 1, "vendor": "v"}, 0, "Constraint violation: amount <= Number(100)",
     orvex.CONSTRAINT, "amount"),
    ({"amount": 1, "unit price": 1}, 0, "Missing required attribute: vendor",
     orvex.MISSING_ATTRIBUTE, "vendor"),
    ({"amount": 1, "unit price": 1, "vendor": "v", "mode of payment": 0},
     0, "Unsupported operator: <", orvex.UNSUPPORTED_OPERATOR, "mode of payment"),
    ({"amount": 50.5}, 250, "Dynamic Violation: Total spend would reach 300.5",
     orvex.DAILY_SPEND, "total_daily_spend"),
]


def refusal(guard, through, params, expected):
    """The exception of a refused decision, asked through `guard.reserve` or through a tool that
    `orvex.guarded` wraps (whose ToolRefused carries the same reason, from that exception)."""
    if through == "reserve":
        with pytest.raises(expected) as caught:
            with guard.reserve(params):
                raise AssertionError("the action ran")
        return caught.value
    args, params = (params, {}) if isinstance(params, tuple) else ((), params)
    with pytest.raises(orvex.ToolRefused) as caught:
        orvex.guarded(guard)(lambda *a, **kw: pytest.fail("the tool ran"))(*args, **params)
    assert caught.value.tool == "<lambda>"
    if caught.value.__cause__ is not None:
        assert (caught.value.reason, type(caught.value.__cause__)) == \
            (caught.value.__cause__.reason, expected)
    return caught.value


@pytest.mark.parametrize("through", ["reserve", "tool"])
@pytest.mark.parametrize("params, counted, reason, kind, attribute", DENIALS,
                         ids=[d[2][:30] for d in DENIALS])
def test_a_denial_is_typed_and_books_nothing(workdir, through, params, counted, reason, kind,
                                             attribute):
    ledger = orvex.MemoryLedger()
    guard = orvex.Guard(DENYING, ledger)
    if counted:
        ledger.reserve("default", guard.today(), counted, lambda total: None)
    denial = refusal(guard, through, params, orvex.Denied)
    denial = denial.__cause__ if through == "tool" else denial
    assert (denial.reason, denial.kind, denial.attribute) == (reason, kind, attribute)
    assert str(denial) == reason and guard.spent_today() == counted
    assert [(r["result"], r["reason"]) for r in log_records(workdir)] == [("FAIL", reason)]


# (params, the refusal's text, the paths it can be sent through): what the guard would read as
# 0 or as a negative spend, refused before asking.
REFUSED_PARAMS = [
    (["amount", 5], "params must be a dict, not list", ["reserve"]),
    (("v", 5), "call it with keyword arguments only", ["tool"]),
    ({"vendor": "v"}, "amount is missing: the intent caps the daily spend, so every action "
     "states its amount", ["reserve", "tool"]),
    ({"amount": 5, "unit price": "9"}, "unit price must be a number, not str", ["reserve", "tool"]),
    ({"amount": 5, "unit price": float("-inf")}, "unit price must be finite", ["reserve", "tool"]),
    ({"amount": -0.5}, "amount must not be negative", ["reserve", "tool"]),
    ({"amount": 10 ** 400}, "amount must be finite", ["reserve", "tool"]),
] + [({"vendor": "v", "amount": amount}, text, ["reserve", "tool"]) for amount, text in [
    ("20", "amount must be a number, not str"), (None, "amount must be a number, not NoneType"),
    (True, "amount must be a number, not bool"), ([5], "amount must be a number, not list"),
    (float("nan"), "amount must be finite"), (float("inf"), "amount must be finite")]] + [
    ({"vendor": "v", "amount": 5, "note": {1, 2}},
     "arguments are not JSON: Object of type set is not JSON serializable", ["reserve", "tool"])]


@pytest.mark.parametrize("through, params, text", [
    (through, params, text) for params, text, paths in REFUSED_PARAMS for through in paths],
    ids=lambda v: v[:30] if isinstance(v, str) else None)
def test_params_the_guard_would_misread_are_refused(workdir, through, params, text):
    guard = orvex.Guard(DENYING, orvex.MemoryLedger())
    assert refusal(guard, through, params, orvex.InvalidParams).reason == text
    assert log_records(workdir) == [] and guard.spent_today() == 0


def test_without_a_seed_no_decision_is_booked(keyless_workdir):
    guard = orvex.Guard(intent(CAP), orvex.MemoryLedger())
    with pytest.raises(orvex.SeedError) as error:
        with guard.reserve({"amount": 5}):
            raise AssertionError("the action ran")
    assert str(error.value) == "Veltrane requires ORVEX_SEED for integrity.: NotPresent"
    assert type(error.value.__cause__).__name__ == "PanicException"
    assert guard.spent_today() == 0


# (time zone, the day of 2026-03-01T23:30Z)
DAYS = [(None, "2026-03-01"), ("Asia/Tokyo", "2026-03-02"), ("America/New_York", "2026-03-01"),
        (datetime.timezone(datetime.timedelta(hours=1)), "2026-03-02")]


@pytest.mark.parametrize("zone, day", DAYS, ids=[str(z) for z, _ in DAYS])
def test_the_day_is_utc_unless_a_zone_is_named(workdir, zone, day):
    if isinstance(zone, str):
        zoneinfo = pytest.importorskip("zoneinfo")
        try:
            zoneinfo.ZoneInfo(zone)
        except zoneinfo.ZoneInfoNotFoundError:
            pytest.skip("no time zone database on this machine")
    moment = datetime.datetime(2026, 3, 1, 23, 30, tzinfo=datetime.timezone.utc)
    ledger = orvex.MemoryLedger()
    guard = orvex.Guard(intent(CAP), ledger, timezone=zone, clock=lambda: moment)
    with guard.reserve({"amount": 7}):
        pass
    assert guard.today() == day and ledger.day("default", day).settled == 7


@pytest.mark.skipif(sys.version_info < (3, 9), reason="zones by name need Python 3.9")
def test_an_unknown_zone_is_refused():
    with pytest.raises(ValueError, match="^unknown time zone: 'Mars/Olympus'$"):
        orvex.Guard(intent(), orvex.MemoryLedger(), timezone="Mars/Olympus")


def test_a_block_settles_on_exit_and_a_release_inside_it_stands(workdir):
    ledger = orvex.MemoryLedger()
    guard = orvex.Guard(intent(CAP), ledger, budget="office")
    with guard.reserve({"amount": 100}) as kept:
        assert (kept.state, guard.spent_today()) == (orvex.OPEN, 100)
    with guard.reserve({"amount": 40}) as given_back:
        given_back.release()
    summary = ledger.day("office", guard.today())
    assert (kept.state, given_back.state) == (orvex.SETTLED, orvex.RELEASED)
    assert (summary.settled, summary.released, summary.counted) == (100, 40, 100)


def test_the_version_is_the_projects():
    declared = re.search(r'^version = "(.+)"$', (ROOT / "pyproject.toml").read_text(), re.M)
    assert orvex.__version__ == declared.group(1)


def test_the_package_is_typed_strictly():
    assert (ROOT / "python" / "orvex" / "py.typed").exists()
    checked = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental",
                              str(ROOT / "python" / "orvex")], capture_output=True, text=True)
    assert checked.returncode == 0, checked.stdout


def test_the_readme_tables_name_the_packages_texts_and_exceptions():
    from orvex import errors
    from test_doc_tables import README, code, markdown_table
    prefixes = [code(row[0]) for row in markdown_table(README, ["prefix", "kind", "logged"])]
    assert [p for p in prefixes if "ProjectManifest" not in p] == \
        list(errors.MALFORMED_PREFIXES) + [prefix for prefix, _ in errors.DENIAL_PREFIXES]
    for row in markdown_table(README, ["exception", "when", "attributes"]):
        assert issubclass(getattr(orvex, code(row[0].split(" ")[0])), orvex.OrvexError)
