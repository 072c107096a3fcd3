"""End-to-end decisions of validate_intent_json: documents in, True or the
exact ValueError text out, with one audit line per decision."""

import json

import pytest

import orvex_core
from conftest import LOG_NAME, decide, log_records

TWO_TO_53 = 2**53


def c(attribute, operator, value, priority=0):
    return {"attribute": attribute, "operator": operator, "value": value, "priority": priority}


def intent(*constraints):
    return json.dumps(
        {"id": "i-1", "objective": "Cut costs", "mode": "strict", "version": "1.0", "constraints": list(constraints)}
    )


def action(params=None):
    return json.dumps({"params": params or {}})


def state(values=None):
    return json.dumps({"values": values or {}})


def spend_limit(limit, operator="<="):
    return c("total_daily_spend", operator, limit)


def check_decision(workdir, documents, expected):
    """A decision leaves exactly one line, whose result and reason match."""
    before = len(log_records(workdir))
    assert decide(*documents) == expected
    records = log_records(workdir)
    assert len(records) == before + 1
    if expected is True:
        assert (records[-1]["result"], records[-1]["reason"]) == ("PASS", None)
    else:
        assert (records[-1]["result"], records[-1]["reason"]) == ("FAIL", expected)


def check_unreadable(workdir, documents, expected):
    """A malformed document is reported before any decision and leaves no line."""
    assert decide(*documents) == expected
    assert not (workdir / LOG_NAME).exists()


# --- Operators and their defaults -----------------------------------------

OPERATOR_CASES = [
    ("at most above", intent(c("amount", "<=", 100)), action({"amount": 150}), state(),
     "Constraint violation: amount <= Number(100)"),
    ("at most equal", intent(c("amount", "<=", 150)), action({"amount": 150}), state(), True),
    ("at least equal", intent(c("amount", ">=", 150)), action({"amount": 150}), state(), True),
    ("at least below", intent(c("amount", ">=", 200)), action({"amount": 150}), state(),
     "Constraint violation: amount >= Number(200)"),
    ("string parameter is 0 under at most", intent(c("amount", "<=", 100)), action({"amount": "150"}), state(), True),
    ("string parameter is 0 under at least", intent(c("amount", ">=", 1)), action({"amount": "150"}), state(),
     "Constraint violation: amount >= Number(1)"),
    ("string bound is -1 under at most", intent(c("amount", "<=", "100")), action({"amount": 0}), state(),
     'Constraint violation: amount <= String("100")'),
    ("string bound admits -5", intent(c("amount", "<=", "100")), action({"amount": -5}), state(), True),
    ("string bound is 0 under at least", intent(c("amount", ">=", "100")), action({"amount": 0}), state(), True),
    ("null parameter is present and 0", intent(c("amount", "<=", 0)), action({"amount": None}), state(), True),
    ("true is not 1 under at least", intent(c("flag", ">=", 1)), action({"flag": True}), state(),
     "Constraint violation: flag >= Number(1)"),
    ("true is 0 under at most", intent(c("flag", "<=", 0)), action({"flag": True}), state(), True),
    ("equal strings", intent(c("region", "==", "eu")), action({"region": "eu"}), state(), True),
    ("strings differing in case", intent(c("region", "==", "eu")), action({"region": "EU"}), state(),
     'Constraint violation: region == String("eu")'),
    ("no membership test", intent(c("n", "==", [1, 2, 3])), action({"n": 2}), state(),
     "Constraint violation: n == Array [Number(1), Number(2), Number(3)]"),
    ("no prefix test", intent(c("n", "==", [1, 2, 3])), action({"n": [1, 2]}), state(),
     "Constraint violation: n == Array [Number(1), Number(2), Number(3)]"),
    ("5 is not 5.0", intent(c("n", "==", 5.0)), action({"n": 5}), state(), "Constraint violation: n == Number(5.0)"),
    ("0.0 equals -0.0", intent(c("n", "==", -0.0)), action({"n": 0.0}), state(), True),
    ("array order matters", intent(c("n", "==", [2, 1])), action({"n": [1, 2]}), state(),
     "Constraint violation: n == Array [Number(2), Number(1)]"),
    ("object member order does not matter", intent(c("o", "==", {"a": 1, "b": 2})),
     action({"o": {"b": 2, "a": 1}}), state(), True),
    ("precision lost above 2^53 under at most", intent(c("n", "<=", TWO_TO_53)), action({"n": TWO_TO_53 + 1}),
     state(), True),
    ("integers exact above 2^53 under equal", intent(c("n", "==", TWO_TO_53)), action({"n": TWO_TO_53 + 1}),
     state(), "Constraint violation: n == Number(9007199254740992)"),
]


@pytest.mark.parametrize("name,intent_text,action_text,state_text,expected", OPERATOR_CASES,
                         ids=[case[0] for case in OPERATOR_CASES])
def test_operators_and_defaults(workdir, name, intent_text, action_text, state_text, expected):
    check_decision(workdir, (intent_text, action_text, state_text), expected)


# --- Messages: missing attributes, operators, bounds ----------------------

MESSAGE_CASES = [
    ("missing attribute", intent(c("amount", "<=", 100)), action(), state(), "Missing required attribute: amount"),
    ("attribute case", intent(c("Amount", "<=", 100)), action({"amount": 1}), state(),
     "Missing required attribute: Amount"),
    ("state is not params", intent(c("current_spend", "<=", 100)), action(), state({"current_spend": 1}),
     "Missing required attribute: current_spend"),
    ("less than", intent(c("amount", "<", 100)), action({"amount": 1}), state(), "Unsupported operator: <"),
    ("empty operator", intent(c("amount", "", 100)), action({"amount": 1}), state(), "Unsupported operator: "),
    ("operator with space", intent(c("amount", "<= ", 100)), action({"amount": 1}), state(),
     "Unsupported operator: <= "),
    ("missing before unsupported", intent(c("amount", "<", 100)), action(), state(),
     "Missing required attribute: amount"),
    ("float bound", intent(c("amount", "<=", 100.0)), action({"amount": 101}), state(),
     "Constraint violation: amount <= Number(100.0)"),
    ("exponent bound", intent(c("amount", ">=", 1e16)), action({"amount": 1}), state(),
     "Constraint violation: amount >= Number(1e+16)"),
    ("negative bound", intent(c("amount", "<=", -7)), action({"amount": 1}), state(),
     "Constraint violation: amount <= Number(-7)"),
    ("null bound", intent(c("amount", "==", None)), action({"amount": 1}), state(),
     "Constraint violation: amount == Null"),
    ("boolean bound", intent(c("ok", "==", False)), action({"ok": True}), state(),
     "Constraint violation: ok == Bool(false)"),
    ("object bound in key order", intent(c("o", "==", {"b": 1, "a": [True, None]})), action({"o": {}}), state(),
     'Constraint violation: o == Object {"a": Array [Bool(true), Null], "b": Number(1)}'),
    ("escapes in a string bound", intent(c("s", "==", '"\\\n')), action({"s": ""}), state(),
     'Constraint violation: s == String("\\"\\\\\\n")'),
    ("apostrophe not escaped", intent(c("s", "==", "it's")), action({"s": ""}), state(),
     "Constraint violation: s == String(\"it's\")"),
    ("combining mark escaped", intent(c("s", "==", "cafe\u0301")), action({"s": "caf\u00e9"}), state(),
     'Constraint violation: s == String("cafe\\u{301}")'),
    ("precomposed letter kept", intent(c("s", "==", "caf\u00e9")), action({"s": "cafe\u0301"}), state(),
     'Constraint violation: s == String("caf\u00e9")'),
    ("escaped key letter equals plain one", '{"\\u0069d":"i","objective":1,"mode":"m","version":"1",'
     '"constraints":[{"attribute":"\\u0061","operator":"==","value":"\\u0062","priority":0}]}',
     action({"a": "b"}), state(), True),
]


@pytest.mark.parametrize("name,intent_text,action_text,state_text,expected", MESSAGE_CASES,
                         ids=[case[0] for case in MESSAGE_CASES])
def test_messages(workdir, name, intent_text, action_text, state_text, expected):
    check_decision(workdir, (intent_text, action_text, state_text), expected)


# --- Daily spend totals ---------------------------------------------------

SPEND_CASES = [
    ("total equal to the limit", intent(spend_limit(100)), action({"amount": 60}), state({"current_spend": 40}), True),
    ("fraction above", intent(spend_limit(100)), action({"amount": 60}), state({"current_spend": 40.5}),
     "Dynamic Violation: Total spend would reach 100.5"),
    ("integers above", intent(spend_limit(120)), action({"amount": 50}), state({"current_spend": 100}),
     "Dynamic Violation: Total spend would reach 150"),
    ("one IEEE addition", intent(spend_limit(0.3)), action({"amount": 0.2}), state({"current_spend": 0.1}),
     "Dynamic Violation: Total spend would reach 0.30000000000000004"),
    ("nothing to add, limit 0", intent(spend_limit(0)), action(), state(), True),
    ("nothing to add, limit -1", intent(spend_limit(-1)), action(), state(),
     "Dynamic Violation: Total spend would reach 0"),
    ("string limit", intent(spend_limit("500")), action({"amount": 1}), state(),
     "Dynamic Violation: Total spend would reach 1"),
    ("null limit", intent(spend_limit(None)), action({"amount": 1}), state(),
     "Dynamic Violation: Total spend would reach 1"),
    ("boolean limit", intent(spend_limit(True)), action({"amount": 1}), state(),
     "Dynamic Violation: Total spend would reach 1"),
    ("string amount", intent(spend_limit(100)), action({"amount": "20"}), state({"current_spend": 90}), True),
    ("overflow", intent(spend_limit(100)), action({"amount": 1e308}), state({"current_spend": 1e308}),
     "Dynamic Violation: Total spend would reach inf"),
    ("1e21 in full", intent(spend_limit(0)), action({"amount": 1e21}), state(),
     "Dynamic Violation: Total spend would reach 1000000000000000000000"),
    ("0.000001 in full", intent(spend_limit(0)), action({"amount": 0.000001}), state(),
     "Dynamic Violation: Total spend would reach 0.000001"),
    ("limits in order, total shown", intent(spend_limit(500), spend_limit(100)), action({"amount": 150}),
     state({"current_spend": 50}), "Dynamic Violation: Total spend would reach 200"),
    ("at least behaves as at most", intent(spend_limit(100, ">=")), action({"amount": 150}), state(),
     "Dynamic Violation: Total spend would reach 150"),
    ("unknown operator never reported", intent(spend_limit(100, "bogus")), action({"amount": 50}), state(), True),
    ("keys read from their own documents", intent(spend_limit(10)), action({"current_spend": 50}),
     state({"amount": 50}), True),
    ("attribute case makes it ordinary", intent(c("Total_daily_spend", "<=", 10)), action(), state(),
     "Missing required attribute: Total_daily_spend"),
]


@pytest.mark.parametrize("name,intent_text,action_text,state_text,expected", SPEND_CASES,
                         ids=[case[0] for case in SPEND_CASES])
def test_spend_totals(workdir, name, intent_text, action_text, state_text, expected):
    check_decision(workdir, (intent_text, action_text, state_text), expected)


# --- Flow order -----------------------------------------------------------

FLOW_CASES = [
    ("no constraints allows", intent(), action({"amount": 10**9}), state(), True),
    ("document order, not priority", intent(c("vendor", "==", "v", -100), c("amount", "<=", 1, 100)),
     action({"amount": 5}), state(), "Missing required attribute: vendor"),
    ("first denial ends the walk", intent(c("amount", "<=", 1), c("amount", "<", 1)), action({"amount": 5}),
     state(), "Constraint violation: amount <= Number(1)"),
    ("spend rule before ordinary constraints", intent(c("amount", "<=", 1), spend_limit(10)), action(),
     state({"current_spend": 20}), "Dynamic Violation: Total spend would reach 20"),
    ("spend passes, ordinary judged", intent(spend_limit(10), c("amount", "<=", 1)), action({"amount": 2}),
     state(), "Constraint violation: amount <= Number(1)"),
    ("array forms", '["i-1","Cut costs","strict","1.0",[["amount","<=",100,1]]]', '[{"amount":5}]', "[{}]", True),
    ("repeated param keeps the later", intent(c("a", "==", 2)), '{"params":{"a":1,"a":2}}', state(), True),
    ("unknown member skipped", intent(), '{"params":{},"note":[1,{"x":null}]}', state(), True),
]


@pytest.mark.parametrize("name,intent_text,action_text,state_text,expected", FLOW_CASES,
                         ids=[case[0] for case in FLOW_CASES])
def test_flow(workdir, name, intent_text, action_text, state_text, expected):
    check_decision(workdir, (intent_text, action_text, state_text), expected)


UNREADABLE_CASES = [
    ("all three malformed", "", "", "", "Invalid Intent JSON: EOF while parsing a value at line 1 column 0"),
    ("action and state malformed", intent(), "{", "",
     "Invalid Action JSON: EOF while parsing an object at line 1 column 1"),
    ("state malformed", intent(), action(), "{}", "Invalid State JSON: missing field `values` at line 1 column 2"),
    ("empty intent object", "{}", action(), state(), "Invalid Intent JSON: missing field `id` at line 1 column 2"),
    ("state as empty array", intent(), action(), "[]",
     "Invalid State JSON: invalid length 0, expected struct State with 1 element at line 1 column 2"),
    ("duplicate state field", intent(), action(), '{"values":{},"values":{}}',
     "Invalid State JSON: duplicate field `values` at line 1 column 21"),
    ("state as a number", intent(), action(), "5",
     "Invalid State JSON: invalid type: integer `5`, expected struct State at line 1 column 1"),
    ("action as null", intent(), "null", state(),
     "Invalid Action JSON: invalid type: null, expected struct ProposedAction at line 1 column 4"),
    ("numeric version", '{"id":"i-1","objective":"o","mode":"m","version":1,"constraints":[]}', action(), state(),
     "Invalid Intent JSON: invalid type: integer `1`, expected a string at line 1 column 50"),
    ("null id", '{"id":null,"objective":"o","mode":"m","version":"1","constraints":[]}', action(), state(),
     "Invalid Intent JSON: invalid type: null, expected a string at line 1 column 10"),
    ("short constraint array",
     '{"id":"i","objective":"o","mode":"m","version":"1","constraints":[["amount","<=",100]]}', action(), state(),
     "Invalid Intent JSON: invalid length 3, expected struct Constraint with 4 elements at line 1 column 85"),
    ("trailing document", intent() + "{}", action(), state(), "Invalid Intent JSON: trailing characters at line 1 "
     f"column {len(intent()) + 1}"),
]


@pytest.mark.parametrize("name,intent_text,action_text,state_text,expected", UNREADABLE_CASES,
                         ids=[case[0] for case in UNREADABLE_CASES])
def test_unreadable_documents(workdir, name, intent_text, action_text, state_text, expected):
    check_unreadable(workdir, (intent_text, action_text, state_text), expected)


def test_parse_errors_come_before_the_seed(tmp_path, monkeypatch):
    monkeypatch.delenv("ORVEX_SEED", raising=False)
    monkeypatch.chdir(tmp_path)
    assert decide("", action(), state()) == "Invalid Intent JSON: EOF while parsing a value at line 1 column 0"
    assert not (tmp_path / LOG_NAME).exists()


@pytest.mark.parametrize("documents", [
    (intent(), action(), state()),
    (intent(c("amount", "<=", 1)), action({"amount": 5}), state()),
], ids=["allowed", "denied"])
def test_no_seed_no_decision(tmp_path, monkeypatch, documents):
    monkeypatch.delenv("ORVEX_SEED", raising=False)
    monkeypatch.chdir(tmp_path)
    with pytest.raises(BaseException) as caught:
        orvex_core.validate_intent_json(*documents)
    assert type(caught.value).__name__ == "PanicException"
    assert not isinstance(caught.value, Exception)
    assert str(caught.value) == "Veltrane requires ORVEX_SEED for integrity.: NotPresent"
    assert not (tmp_path / LOG_NAME).exists()


def test_one_line_per_decision(workdir):
    denied = (intent(c("amount", "<=", 100)), action({"amount": 150}), state())
    allowed = (intent(), action(), state())
    assert decide(*allowed) is True
    assert decide("", "", "") == "Invalid Intent JSON: EOF while parsing a value at line 1 column 0"
    assert decide(*denied) == "Constraint violation: amount <= Number(100)"
    records = log_records(workdir)
    assert [(r["result"], r["reason"]) for r in records] == [
        ("PASS", None),
        ("FAIL", "Constraint violation: amount <= Number(100)"),
    ]
    assert [r["intent_id"] for r in records] == ["i-1", "i-1"]
