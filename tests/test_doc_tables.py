"""The tables of texts in README.md and docs/formats.md say what the module does.

Each table is read from the Markdown itself, so that editing a row without the code (or the
code without the row) fails here."""

import json
import os
import re

import pytest
from hypothesis import given, settings, strategies as st

import orvex_core
from conftest import log_lines, log_records
from doc_blocks import ROOT

README = ROOT / "README.md"
FORMATS = ROOT / "docs" / "formats.md"


def markdown_table(path, header):
    """The rows (lists of cell texts) of the table whose header row's cells are `header`."""
    lines = path.read_text(encoding="utf-8").splitlines()
    for index, line in enumerate(lines):
        if line.startswith("|") and cells(line) == header:
            rows = []
            for row in lines[index + 2:]:
                if not row.startswith("|"):
                    break
                rows.append(cells(row))
            assert rows, "%s: the table %s is empty" % (path.name, header)
            return rows
    raise AssertionError("%s has no table with the header %s" % (path.name, header))


def cells(line):
    return [cell.strip() for cell in line.strip().strip("|").split("|")]


def code(cell):
    """The text of a cell that is one `code span` (keeping its spaces)."""
    match = re.fullmatch(r"`([^`]*)`", cell)
    assert match, "not a code span: %r" % cell
    return match.group(1)


def intent(*constraints):
    return json.dumps({"id": "i", "objective": "o", "mode": "m", "version": "1",
                       "constraints": [dict(zip(("attribute", "operator", "value", "priority"), c + (0,)))
                                       for c in constraints]})


VALID_INTENT = intent()
GOOD_MANIFEST = '{"ModSurfaces": [], "WeightTables": []}'

# One call per prefix of the README's table of ValueError texts.
PREFIX_EXAMPLES = {
    "Invalid Intent JSON: ": lambda: orvex_core.validate_intent_json("[]", "{}", "{}"),
    "Invalid Action JSON: ": lambda: orvex_core.validate_intent_json(VALID_INTENT, "{}", "{}"),
    "Invalid State JSON: ": lambda: orvex_core.validate_intent_json(VALID_INTENT, '{"params":{}}', "5"),
    "Invalid ProjectManifest JSON: ": lambda: orvex_core.generate_logic_fingerprint("{}"),
    "Missing required attribute: ": lambda: orvex_core.validate_intent_json(
        intent(("amount", "<=", 1)), '{"params":{}}', '{"values":{}}'),
    "Unsupported operator: ": lambda: orvex_core.validate_intent_json(
        intent(("amount", "!=", 1)), '{"params":{"amount":1}}', '{"values":{}}'),
    "Constraint violation: ": lambda: orvex_core.validate_intent_json(
        intent(("amount", ">=", 1)), '{"params":{"amount":0}}', '{"values":{}}'),
    "Dynamic Violation: Total spend would reach ": lambda: orvex_core.validate_intent_json(
        intent(("total_daily_spend", "<=", 1)), '{"params":{"amount":2}}', '{"values":{}}'),
}

PREFIX_TABLE = markdown_table(README, ["prefix", "kind", "logged"])
PREFIXES = tuple(code(row[0]) for row in PREFIX_TABLE)


def test_the_prefix_table_lists_every_kind_once():
    assert sorted(PREFIXES) == sorted(PREFIX_EXAMPLES)


@pytest.mark.parametrize("row", PREFIX_TABLE, ids=[row[0] for row in PREFIX_TABLE])
def test_each_prefix_is_raised_and_logged_as_the_table_says(workdir, row):
    prefix, kind, logged = code(row[0]), row[1], row[2]
    with pytest.raises(ValueError) as error:
        PREFIX_EXAMPLES[prefix]()
    text = str(error.value)
    assert text.startswith(prefix)
    assert kind.startswith("malformed") == (logged == "no")
    if kind.startswith("malformed"):
        assert re.search(r" at line \d+ column \d+$", text), text
    records = log_records(workdir)
    assert [r["reason"] for r in records] == ([] if logged == "no" else [text])


json_values = st.recursive(
    st.none() | st.booleans() | st.integers(-10, 10) | st.floats(-10, 10) | st.sampled_from(["", "5", "a"]),
    lambda inner: st.lists(inner, max_size=3) | st.dictionaries(st.sampled_from(["a", "amount"]), inner,
                                                                max_size=2),
    max_leaves=5)
constraints = st.fixed_dictionaries({
    "attribute": st.sampled_from(["amount", "vendor", "total_daily_spend", "x"]),
    "operator": st.sampled_from(["<=", ">=", "==", "<", ""]),
    "value": json_values,
    "priority": st.integers(-3, 3)})
documents = st.one_of(
    st.builds(lambda cs: {"id": "i", "objective": "o", "mode": "m", "version": "1", "constraints": cs},
              st.lists(constraints, max_size=3)),
    json_values)


@settings(max_examples=300, deadline=None)
@given(documents, st.dictionaries(st.sampled_from(["amount", "vendor", "x"]), json_values),
       st.dictionaries(st.sampled_from(["current_spend", "amount"]), json_values),
       st.integers(0, 3))
def test_every_value_error_starts_with_a_prefix_of_the_table(tmp_path_factory, document, params, values,
                                                              cut):
    """Also for documents cut short: `cut` drops that many bytes from the end of the action."""
    action = json.dumps({"params": params})
    saved_seed, saved_directory = os.environ.get("ORVEX_SEED"), os.getcwd()
    os.environ["ORVEX_SEED"] = "00" * 32
    os.chdir(tmp_path_factory.getbasetemp())
    try:
        orvex_core.validate_intent_json(json.dumps(document), action[:len(action) - cut],
                                        json.dumps({"values": values}))
    except ValueError as error:
        assert str(error).startswith(PREFIXES), str(error)
    finally:
        os.chdir(saved_directory)
        if saved_seed is None:
            del os.environ["ORVEX_SEED"]
        else:
            os.environ["ORVEX_SEED"] = saved_seed


# ORVEX_SEED values for the rows of the README's table of seed failures (None: unset).
SEED_EXAMPLES = {
    "not set": None,
    "not valid UTF-8": b"\xff" + b"0" * 63,
    "odd number of bytes": b"0" * 63,
    "a byte that is not a hex digit": b"0x" + b"0" * 62,
    "not 64 digits (empty included)": b"",
}


def matches_with_ellipsis(shown, text):
    return re.fullmatch(".*".join(re.escape(part) for part in shown.split("…")), text, re.S) is not None


SEED_TABLE = markdown_table(README, ["`ORVEX_SEED`", "exception text"])


def test_the_seed_table_covers_every_failure():
    assert [row[0] for row in SEED_TABLE] == list(SEED_EXAMPLES)


@pytest.mark.parametrize("row", SEED_TABLE, ids=[row[0] for row in SEED_TABLE])
def test_each_seed_failure_raises_the_text_of_the_table(workdir, monkeypatch, row):
    seed = SEED_EXAMPLES[row[0]]
    if seed is None:
        monkeypatch.delenv("ORVEX_SEED")
    else:
        monkeypatch.setitem(os.environb, b"ORVEX_SEED", seed)
    with pytest.raises(BaseException) as raised:
        orvex_core.validate_intent_json(VALID_INTENT, '{"params":{}}', '{"values":{}}')
    assert type(raised.value).__name__ == "PanicException"
    assert matches_with_ellipsis(code(row[1]), str(raised.value)), str(raised.value)
    assert log_lines(workdir) == []


def test_the_record_members_come_in_the_order_of_the_table(workdir):
    table = markdown_table(README, ["#", "member", "content"])
    orvex_core.validate_intent_json(VALID_INTENT, '{"params":{"b":1,"a":2}}', '{"values":{}}')
    [line] = log_lines(workdir)
    assert [int(row[0]) for row in table] == list(range(1, 11))
    assert [code(row[1]) for row in table] == list(json.loads(line))


# A valid value for every field of the formats' tables. The constraint is a spend limit, so that
# whatever value a test puts in it, the intent is read and the decision allows an empty action.
FIELD_VALUES = {
    "id": "i", "objective": "o", "mode": "m", "version": "1", "constraints": [],
    "attribute": "total_daily_spend", "operator": "<=", "value": 1, "priority": 0,
    "params": {}, "values": {},
    "ModSurfaces": [], "WeightTables": [], "Name": "n", "Weight": 1, "Key": "k", "Value": 1,
}
# The start of a "JSON type" cell: (a value of another type, the refusal it gets).
TYPE_REFUSALS = [
    ("string", 1, "invalid type: integer `1`, expected a string"),
    ("array", {}, "invalid type: map, expected a sequence"),
    ("object", [], "invalid type: sequence, expected a map"),
    ("integer from -2147483648 to 2147483647", 2147483648,
     "invalid value: integer `2147483648`, expected i32"),
    ("number", "1", 'invalid type: string "1", expected f64'),
    ("any JSON value", None, None),
]


def read_as(document, value):
    """The reading error of `value` read as that document, without its prefix ("" when read)."""
    text = json.dumps(value)
    action, state = '{"params":{}}', '{"values":{}}'
    calls = {
        "intent": ("Intent", lambda: orvex_core.validate_intent_json(text, action, state)),
        "constraint": ("Intent", lambda: orvex_core.validate_intent_json(
            json.dumps(dict(FIELD_VALUES_OF["intent"], constraints=[value])), action, state)),
        "action": ("Action", lambda: orvex_core.validate_intent_json(VALID_INTENT, text, state)),
        "state": ("State", lambda: orvex_core.validate_intent_json(VALID_INTENT, action, text)),
        "manifest": ("ProjectManifest", lambda: orvex_core.generate_logic_fingerprint(text)),
        "mod surface": ("ProjectManifest", lambda: orvex_core.generate_logic_fingerprint(
            json.dumps({"ModSurfaces": [value], "WeightTables": []}))),
        "weight table": ("ProjectManifest", lambda: orvex_core.generate_logic_fingerprint(
            json.dumps({"ModSurfaces": [], "WeightTables": [value]}))),
    }
    name, call = calls[document]
    try:
        call()
    except ValueError as error:
        prefix = "Invalid %s JSON: " % name
        assert str(error).startswith(prefix), str(error)
        return str(error)[len(prefix):]
    return ""


def field_tables():
    """{document: [(position, field, JSON type)]} from the formats page's tables."""
    tables = {}
    lines = FORMATS.read_text(encoding="utf-8").splitlines()
    document = None
    for index, line in enumerate(lines):
        if line.startswith("## "):
            document = line[3:].strip().lower()
        if line.startswith("| # | field |"):
            tables[document] = [(int(r[0]), code(r[1]), r[2]) for r in rows_after(lines, index)]
        elif line.startswith("| document | # | field |") or line.startswith("| record | # | member |"):
            for r in rows_after(lines, index):
                tables.setdefault(r[0], []).append((int(r[1]), code(r[2]), r[3]))
    return tables


def rows_after(lines, index):
    rows = []
    for row in lines[index + 2:]:
        if not row.startswith("|"):
            break
        rows.append(cells(row))
    return rows


FIELD_TABLES = field_tables()
FIELD_VALUES_OF = {document: {field: FIELD_VALUES[field] for _, field, _ in rows}
                   for document, rows in FIELD_TABLES.items()}
FIELD_ROWS = [(document, position, field, json_type)
              for document, rows in FIELD_TABLES.items() for position, field, json_type in rows]


def test_the_formats_page_has_a_table_for_every_document():
    assert sorted(FIELD_TABLES) == ["action", "constraint", "intent", "manifest", "mod surface", "state",
                                    "weight table"]


@pytest.mark.parametrize("document", sorted(FIELD_TABLES))
def test_the_array_form_takes_the_fields_in_the_order_of_the_table(workdir, document):
    rows = sorted(FIELD_TABLES[document])
    assert [position for position, _, _ in rows] == list(range(1, len(rows) + 1))
    assert read_as(document, [FIELD_VALUES[field] for _, field, _ in rows]) == ""
    assert read_as(document, FIELD_VALUES_OF[document]) == ""


@pytest.mark.parametrize("document, position, field, json_type", FIELD_ROWS,
                         ids=["%s.%s" % (row[0], row[2]) for row in FIELD_ROWS])
def test_each_field_is_required_and_typed_as_the_table_says(workdir, document, position, field, json_type):
    without = {name: value for name, value in FIELD_VALUES_OF[document].items() if name != field}
    assert read_as(document, without).startswith("missing field `%s` at line" % field)
    [(other, refusal)] = [(other, refusal) for start, other, refusal in TYPE_REFUSALS
                          if json_type.startswith(start)]
    wrong = read_as(document, dict(FIELD_VALUES_OF[document], **{field: other}))
    if refusal is None:
        assert wrong == ""
    else:
        assert wrong.startswith(refusal + " at line"), wrong


# The operators table: the numeric defaults, checked from both sides.
OPERATOR_TABLE = markdown_table(FORMATS, ["operator", "holds when",
                                          "parameter that is not a number counts as",
                                          "bound that is not a number counts as"])


def holds(operator, parameter, bound):
    try:
        orvex_core.validate_intent_json(intent(("p", operator, bound)), json.dumps({"params": {"p": parameter}}),
                                        '{"values":{}}')
    except ValueError as error:
        assert str(error).startswith("Constraint violation: p %s " % operator), str(error)
        return False
    return True


@pytest.mark.parametrize("row", OPERATOR_TABLE, ids=[row[0] for row in OPERATOR_TABLE])
def test_the_operator_defaults_are_those_of_the_table(workdir, row):
    operator = code(row[0])
    if row[2] == "not converted":
        assert not holds(operator, "5", 5) and not holds(operator, 5, "5") and not holds(operator, 5, 5.0)
        assert holds(operator, [1, {"a": None}], [1, {"a": None}])
        return
    parameter_default, bound_default = float(row[2]), float(row[3])
    above = 1 if operator == "<=" else -1           # the side on which the comparison fails
    for not_a_number in ("7", None, True, [], {}):
        assert holds(operator, bound_default, not_a_number)
        assert not holds(operator, bound_default + above * 0.5, not_a_number)
        assert holds(operator, not_a_number, parameter_default)
        assert not holds(operator, not_a_number, parameter_default - above * 0.5)


def stub_docstrings():
    import ast
    tree = ast.parse((ROOT / "stubs" / "orvex_core-stubs" / "__init__.pyi").read_text(encoding="utf-8"))
    return {node.name: ast.get_docstring(node) for node in tree.body if isinstance(node, ast.FunctionDef)}


def test_the_stub_docstrings_name_the_prefixes_of_the_readme():
    """An IDE shows these: the guard's prefixes in validate_intent_json's, the manifest's in the others."""
    docs = stub_docstrings()
    assert sorted(docs) == sorted(orvex_core.__all__)
    quoted = {name: set(re.findall(r'"([A-Z][^"]*?: (?:Total spend would reach )?)', " ".join(doc.split())))
              for name, doc in docs.items()}
    manifest = {"Invalid ProjectManifest JSON: "}
    assert quoted["validate_intent_json"] == set(PREFIXES) - manifest
    assert quoted["generate_logic_fingerprint"] == quoted["verify_logic_fingerprint"] == manifest
