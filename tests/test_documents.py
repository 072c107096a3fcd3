"""Decoding the typed documents: the intent, proposed action and state that
validate_intent_json reads, and the project manifest behind the fingerprint.

Every refusal is one text: the type, value, length or field message with the
position of the value or bracket it concerns. In the marked tables MARK
(U+2038) stands just after the byte the error points at and is cut out before
the text is handed over. Parse failures need no signing key and write no
audit log, so these calls run without ORVEX_SEED in a scratch directory.
"""

import pytest

import orvex_core
from conftest import (ACTION_MISSING, EOF_LIST, EXPECTED_VALUE, GOOD_ACTION, GOOD_STATE, KEY_NOT_STRING,
                      TRAILING_CHARACTERS, TRAILING_COMMA, digest, manifest_failure, position, rows, split_mark,
                      validation_failure)

pytestmark = pytest.mark.usefixtures("keyless_workdir")

GOOD_INTENT = '{"id":"i","objective":"o","mode":"m","version":"1","constraints":[]}'
STATE_MISSING = "Invalid State JSON: EOF while parsing a value at line 1 column 0"


def located(marked, message):
    text, offset = split_mark(marked)
    return text, message + position(text, offset)


def type_error(found, expected):
    return f"invalid type: {found}, expected {expected}"


# ---------------------------------------------------------------------------
# Intent

INTENT_LENGTH = "struct Intent with 5 elements"

INTENT_ROWS = (
    rows("missing field `id`", "{}‸", '{"constraints":[],"version":"v","mode":"m","objective":1}‸',
         '{"ID":"x","objective":1,"mode":"m","version":"v","constraints":[]}‸',
         '{"id ":"x","objective":1,"mode":"m","version":"v","constraints":[]}‸')
    + rows("missing field `objective`", '{"id":"i"}‸', '{"id":"i","Objective":1}‸')
    + rows("missing field `mode`", '{"id":"i","objective":"o","version":"v"}‸',
           '{"id":"i","objective":"o","version":"v"\n}‸')
    + rows("missing field `version`", '{"id":"i","objective":null,"mode":"m"}‸')
    + rows("missing field `constraints`", '{"id":"i","objective":null,"mode":"m","version":"v"}‸')
    + rows(f"invalid length 0, expected {INTENT_LENGTH}", "[]‸", "[ \n ]‸")
    + rows(f"invalid length 1, expected {INTENT_LENGTH}", '["i"]‸')
    + rows(f"invalid length 4, expected {INTENT_LENGTH}", '["i","o","m","v"]‸',
           '[ "i" , "o" ,"m","v"\n]‸')
    + rows(TRAILING_CHARACTERS, '["i","o","m","v",[],1‸]', '["i","o","m","v",[],‸',
           '["i","o","m","v",[] x‸', GOOD_INTENT + " {‸}")
    + rows(TRAILING_COMMA, '["i","o","m","v",[],]‸')
    + rows(EOF_LIST, '["i","o","m","v",[]‸')
    + rows(type_error("null", "a string"), '{"id":null‸}')
    + rows(type_error("integer `1`", "a string"), '{"id":"i","version":1‸}')
    + rows(type_error("integer `-3`", "a string"), '{"version":-3‸}')
    + rows(type_error("floating point `1.0`", "a string"), '{"version":1.0‸}')
    + rows(type_error("boolean `true`", "a string"), '{"mode":true‸}')
    + rows(type_error("integer `5`", "a string"), '{"mode":5‸}', '{"\\u0069d":5‸}')
    + rows(type_error("sequence", "a string"), '{"id":‸["x"]}', '{"id":"i","mode":‸[1,}')
    + rows(type_error("map", "a string"), '{"id": ‸{}}', '["i","o",‸{}')
    + rows(type_error("null", "a sequence"), '{"constraints":null‸}')
    + rows(type_error("map", "a sequence"), '{"constraints":‸{}}')
    + rows(type_error('string "[]"', "a sequence"), '{"constraints":"[]"‸}')
    + rows(type_error("integer `7`", "a sequence"), '["i","o","m","v",7‸]')
    + rows("duplicate field `id`", '{"id":"a","id"‸:"b"}', '{"\\u0069d":"a","id"‸',
           '{"id":"a","i\\u0064"‸:5}')
    + rows("duplicate field `objective`", '{"objective":1,"objective"‸:[')
    + rows("duplicate field `constraints`", '{"constraints":[],"x":1,"constraints"‸}')
    + rows(type_error("integer `5`", "struct Intent"), "5‸")
    + rows(type_error('string "x"', "struct Intent"), '"x"‸')
    + rows(type_error("null", "struct Intent"), "null‸")
    + rows(type_error("boolean `false`", "struct Intent"), " false‸ ")
    + rows(type_error("floating point `-1.5`", "struct Intent"), "-1.5‸")
    + rows(EXPECTED_VALUE, '{"zz":[1,]‸')
)


@pytest.mark.parametrize("marked,message", INTENT_ROWS)
def test_intent_refusal(marked, message):
    text, expected = located(marked, message)
    assert validation_failure(text) == "Invalid Intent JSON: " + expected


# ---------------------------------------------------------------------------
# Constraint, decoded only as an element of an intent's constraints

CONSTRAINTS = '{"id":"i","objective":"o","mode":"m","version":"v","constraints":['
GOOD_CONSTRAINT = '{"attribute":"a","operator":"<=","value":1,"priority":1}'
CONSTRAINT_LENGTH = "struct Constraint with 4 elements"

CONSTRAINT_ROWS = (
    rows(type_error("integer `5`", "struct Constraint"), CONSTRAINTS + "5‸]}")
    + rows(type_error("null", "struct Constraint"), CONSTRAINTS + "null‸]}")
    + rows(type_error('string "a"', "struct Constraint"), CONSTRAINTS + '"a"‸]}')
    + rows("missing field `attribute`", CONSTRAINTS + "{}‸]}",
           CONSTRAINTS + '{"priority":1,"value":2,"operator":"<="}‸]}',
           CONSTRAINTS + GOOD_CONSTRAINT + ",{}‸]}")
    + rows("missing field `operator`", CONSTRAINTS + '{"attribute":"a"}‸]}')
    + rows("missing field `value`", CONSTRAINTS + '{"attribute":"a","operator":"<="}‸]}')
    + rows("missing field `priority`",
           CONSTRAINTS + '{"attribute":"a","operator":"<=","value":null}‸]}')
    + rows(f"invalid length 0, expected {CONSTRAINT_LENGTH}", CONSTRAINTS + "[]‸]}")
    + rows(f"invalid length 3, expected {CONSTRAINT_LENGTH}", CONSTRAINTS + '["a","<=",1]‸]}')
    + rows(TRAILING_CHARACTERS, CONSTRAINTS + '["a","<=",1,1,5‸]]}')
    + rows(TRAILING_COMMA, CONSTRAINTS + '["a","<=",1,1,]‸]}')
    + rows(type_error("sequence", "a string"), CONSTRAINTS + '[‸["a"],"<=",1,1]]}')
    + rows(type_error("integer `1`", "a string"), CONSTRAINTS + '{"attribute":1‸}]}')
    + rows(type_error("null", "a string"), CONSTRAINTS + '{"operator":null‸}]}')
    + rows("duplicate field `priority`", CONSTRAINTS + '{"priority":1,"priority"‸:2}]}')
    + rows("duplicate field `value`", CONSTRAINTS + '{"value":1,"value"‸')
    + rows(EXPECTED_VALUE, CONSTRAINTS + '{"zz":[1,]‸')
    + rows("missing field `id`", '{"constraints":[' + GOOD_CONSTRAINT + "]}‸")
)


@pytest.mark.parametrize("marked,message", CONSTRAINT_ROWS)
def test_constraint_refusal(marked, message):
    text, expected = located(marked, message)
    assert validation_failure(text) == "Invalid Intent JSON: " + expected


PRIORITY = CONSTRAINTS + '{"attribute":"a","operator":"<=","value":1,"priority":'

PRIORITY_ROWS = [
    ("2147483648‸", "invalid value: integer `2147483648`, expected i32"),
    ("-2147483649‸", "invalid value: integer `-2147483649`, expected i32"),
    ("18446744073709551615‸", "invalid value: integer `18446744073709551615`, expected i32"),
    ("-9223372036854775808‸", "invalid value: integer `-9223372036854775808`, expected i32"),
    ("18446744073709551616‸", "invalid type: floating point `1.8446744073709552e+19`, expected i32"),
    ("-9223372036854775809‸", "invalid type: floating point `-9.223372036854776e+18`, expected i32"),
    ("1.0‸", "invalid type: floating point `1.0`, expected i32"),
    ("5.0‸", "invalid type: floating point `5.0`, expected i32"),
    ("1e3‸", "invalid type: floating point `1000.0`, expected i32"),
    ("1E2‸", "invalid type: floating point `100.0`, expected i32"),
    ("1.5‸", "invalid type: floating point `1.5`, expected i32"),
    ("-0‸", "invalid type: floating point `-0.0`, expected i32"),
    ("0e0‸", "invalid type: floating point `0.0`, expected i32"),
    ('"high"‸', 'invalid type: string "high", expected i32'),
    ('"1"‸', 'invalid type: string "1", expected i32'),
    ("null‸", "invalid type: null, expected i32"),
    ("true‸", "invalid type: boolean `true`, expected i32"),
    ("‸[1]", "invalid type: sequence, expected i32"),
    (" ‸{}", "invalid type: map, expected i32"),
]


@pytest.mark.parametrize("value,message", PRIORITY_ROWS)
def test_priority_refusal(value, message):
    text, expected = located(PRIORITY + value + "}]}", message)
    assert validation_failure(text) == "Invalid Intent JSON: " + expected


@pytest.mark.parametrize("priority", ["2147483647", "-2147483648", "0", "-1", "7"])
def test_priority_accepted(priority):
    intent = CONSTRAINTS + '{"attribute":"a","operator":"<=","value":1,"priority":' + priority + "}]}"
    assert validation_failure(intent, action="") == ACTION_MISSING


ACCEPTED_INTENTS = [
    GOOD_INTENT,
    '["i-1","Cut costs","strict","1.0",[]]',
    '["i-1",{"b":1,"a":[true,null]},"strict","1.0",[["amount","<=",100,1]]]',
    '{"constraints":[],"version":"1","mode":"m","objective":null,"id":""}',
    '{"id":"i","objective":12,"mode":"m","version":"1","constraints":[' + GOOD_CONSTRAINT
    + ',["b","==",[1,{"k":null}],-5]]}',
    '{"\\u0069d":"x","ID":5,"objective":1e2,"mode":"","version":"","constraints":[]}',
    ' \r\n\t{"id":"i","objective":[],"mode":"m","version":"1","constraints":[],"x":{"y":[1]}} \n',
    '{"zz":1,"zz":2,"id":"i","objective":"o","mode":"m","version":"1","constraints":[]}',
]


@pytest.mark.parametrize("intent", ACCEPTED_INTENTS)
def test_intent_accepted(intent):
    assert validation_failure(intent, action="") == ACTION_MISSING


# ---------------------------------------------------------------------------
# Proposed action and state: one map field each

def map_document_rows(field, struct):
    capital = field[0].upper() + field[1:]
    return (
        rows(f"missing field `{field}`", "{}‸", f'{{"{capital}":{{}}}}‸', '{"x":1}‸')
        + rows(f"invalid length 0, expected struct {struct} with 1 element", "[]‸")
        + rows(f"duplicate field `{field}`", f'{{"{field}":{{}},"{field}"‸:{{}}}}')
        + rows(type_error("integer `5`", f"struct {struct}"), "5‸")
        + rows(type_error('string "s"', f"struct {struct}"), '"s"‸')
        + rows(type_error("sequence", "a map"), f'{{"{field}":‸[]}}')
        + rows(type_error("null", "a map"), f'{{"{field}":null‸}}')
        + rows(type_error("integer `5`", "a map"), "[5‸]")
        + rows(TRAILING_CHARACTERS, "[{},{‸}]", "[{} x‸]")
        + rows(TRAILING_COMMA, "[{},]‸", f'{{"{field}":{{"a":1,}}‸}}',
               f'{{"{field}":{{"a":[1,]‸}}}}')
        + rows(EOF_LIST, "[{}‸")
        + rows(KEY_NOT_STRING, f'{{"{field}":{{1‸:2}}}}')
        + rows(EXPECTED_VALUE, f'{{"{field}":{{}},"note":[1,]‸}}')
    )


@pytest.mark.parametrize("marked,message", map_document_rows("params", "ProposedAction"))
def test_action_refusal(marked, message):
    text, expected = located(marked, message)
    assert validation_failure(GOOD_INTENT, text) == "Invalid Action JSON: " + expected


@pytest.mark.parametrize("marked,message", map_document_rows("values", "State"))
def test_state_refusal(marked, message):
    text, expected = located(marked, message)
    assert validation_failure(GOOD_INTENT, GOOD_ACTION, text) == "Invalid State JSON: " + expected


@pytest.mark.parametrize("action", [
    '{"params":{"a":1,"a":2}}',
    '{"params":{},"note":[1,{"x":null}]}',
    "[{}]",
    ' {"note":1,"params":{"x":[{"y":"z"}],"":null}} ',
])
def test_action_accepted(action):
    assert validation_failure(GOOD_INTENT, action, "") == STATE_MISSING


# A state is the last document read; once it is accepted the call goes on to
# the decision and its record, which without ORVEX_SEED ends in
# PanicException before anything is written.
@pytest.mark.parametrize("state", [
    '{"values":{"current_spend":1,"current_spend":2}}',
    '{"values":{},"note":[1,{"x":null}]}',
    "[{}]",
])
def test_state_accepted(state):
    with pytest.raises(BaseException) as caught:
        orvex_core.validate_intent_json(GOOD_INTENT, GOOD_ACTION, state)
    assert type(caught.value).__name__ == "PanicException"


# Literal texts for the positions, without the mark.
@pytest.mark.parametrize("intent,action,state,message", [
    ("", GOOD_ACTION, GOOD_STATE, "Invalid Intent JSON: EOF while parsing a value at line 1 column 0"),
    (GOOD_INTENT, GOOD_ACTION, "{}", "Invalid State JSON: missing field `values` at line 1 column 2"),
    (GOOD_INTENT, GOOD_ACTION, "[]",
     "Invalid State JSON: invalid length 0, expected struct State with 1 element at line 1 column 2"),
    (GOOD_INTENT, GOOD_ACTION, '{"values":{},"values":{}}',
     "Invalid State JSON: duplicate field `values` at line 1 column 21"),
    (GOOD_INTENT, GOOD_ACTION, "5",
     "Invalid State JSON: invalid type: integer `5`, expected struct State at line 1 column 1"),
    ('{"version":1}', GOOD_ACTION, GOOD_STATE,
     "Invalid Intent JSON: invalid type: integer `1`, expected a string at line 1 column 12"),
])
def test_documented_positions(intent, action, state, message):
    assert validation_failure(intent, action, state) == message


def test_only_the_first_malformed_document_is_reported():
    assert validation_failure("{", "{", "{") == (
        "Invalid Intent JSON: EOF while parsing an object at line 1 column 1")
    assert validation_failure(GOOD_INTENT, "[", "{") == (
        "Invalid Action JSON: EOF while parsing a list at line 1 column 1")


# ---------------------------------------------------------------------------
# Project manifest

SURFACES = '{"WeightTables":[],"ModSurfaces":['
TABLES = '{"ModSurfaces":[],"WeightTables":['
MANIFEST_LENGTH = "struct ProjectManifest with 2 elements"
SURFACE_LENGTH = "struct ModSurface with 2 elements"
TABLE_LENGTH = "struct WeightTable with 2 elements"

MANIFEST_ROWS = (
    rows(type_error('string "abc"', "struct ProjectManifest"), '"abc"‸')
    + rows(type_error("integer `5`", "struct ProjectManifest"), "5‸")
    + rows(type_error("integer `-7`", "struct ProjectManifest"), "-7‸")
    + rows(type_error("floating point `2.5`", "struct ProjectManifest"), "2.5‸")
    + rows(type_error("null", "struct ProjectManifest"), "null‸")
    + rows(type_error("boolean `true`", "struct ProjectManifest"), "\ntrue‸ ")
    + rows("missing field `ModSurfaces`", "{}‸", '{"WeightTables":[]}‸',
           '{"modSurfaces":[],"WeightTables":[]}‸', '{"ModSurfaces ":[],"WeightTables":[]}‸',
           '{"MODSURFACES":[],"WeightTables":[]}‸')
    + rows("missing field `WeightTables`", '{"ModSurfaces":[]}‸', '{"ModSurfaces":[],"weightTables":[]}‸')
    + rows(f"invalid length 0, expected {MANIFEST_LENGTH}", "[]‸")
    + rows(f"invalid length 1, expected {MANIFEST_LENGTH}", "[[]]‸", "[ [ ]\n]‸")
    + rows(TRAILING_CHARACTERS, "[[],[],[‸]]", "[[],[] 1‸]")
    + rows(TRAILING_COMMA, "[[],[],]‸")
    + rows("duplicate field `ModSurfaces`", '{"ModSurfaces":[],"ModSurfaces"‸:x}',
           '{"ModSurfaces":[],"ModSurfaces"‸', '{"ModSurfaces":[],"\\u004dodSurfaces"‸:[]}')
    + rows("duplicate field `WeightTables`", '{"WeightTables":[],"ModSurfaces":[],"WeightTables"‸:[]}')
    + rows(type_error("null", "a sequence"), '{"ModSurfaces":null‸}')
    + rows(type_error("map", "a sequence"), '{"ModSurfaces":‸{}}', '{"ModSurfaces": ‸{}}', "[‸{},[]]")
    + rows(type_error('string "[]"', "a sequence"), '{"ModSurfaces":"[]"‸}')
    + rows(type_error("integer `0`", "a sequence"), '{"ModSurfaces":[],"WeightTables":0‸}')
    + rows(type_error("boolean `false`", "a sequence"), "[[],false‸]")
    + rows(type_error("integer `1`", "struct ModSurface"), SURFACES + "1‸]}")
    + rows(type_error("null", "struct ModSurface"), SURFACES + "null‸]}")
    + rows(type_error("boolean `true`", "struct ModSurface"), SURFACES + '{"Name":"a","Weight":1},true‸]}')
    + rows(type_error('string "k"', "struct WeightTable"), TABLES + '"k"‸]}')
    + rows("missing field `Name`", SURFACES + "{}‸]}", SURFACES + '{"Weight":1}‸]}',
           SURFACES + '{"name":"a","weight":1}‸]}', '{"ModSurfaces":[{}‸],"WeightTables":7}')
    + rows("missing field `Weight`", SURFACES + '{"Name":"a"}‸]}')
    + rows("missing field `Key`", TABLES + "{}‸]}", TABLES + '{"Value":1}‸]}')
    + rows("missing field `Value`", TABLES + '{"Key":"k"}‸]}')
    + rows("duplicate field `Name`", SURFACES + '{"Name":"a","Name"‸')
    + rows("duplicate field `Weight`", SURFACES + '{"Weight":1,"Weight"‸:"x"}')
    + rows("duplicate field `Key`", TABLES + '{"Key":"a","Key"‸')
    + rows("duplicate field `Value`", TABLES + '{"Value":1,"Value"‸')
    + rows(f"invalid length 0, expected {SURFACE_LENGTH}", SURFACES + "[]‸]}")
    + rows(f"invalid length 1, expected {SURFACE_LENGTH}", SURFACES + '["a"]‸]}')
    + rows(f"invalid length 0, expected {TABLE_LENGTH}", TABLES + "[]‸]}")
    + rows(f"invalid length 1, expected {TABLE_LENGTH}", TABLES + '["k"]‸]}')
    + rows(TRAILING_CHARACTERS, SURFACES + '["a",1,2‸]]}')
    + rows(TRAILING_COMMA, TABLES + '["k",1,]‸]}')
    + rows(type_error("integer `1`", "a string"), SURFACES + '{"Name":1‸}]}')
    + rows(type_error("null", "a string"), SURFACES + '{"Name":null‸}]}')
    + rows(type_error("boolean `true`", "a string"), TABLES + '{"Key":true‸}]}')
    + rows(type_error("sequence", "a string"), SURFACES + '{"Name":‸["a"]}]}', SURFACES + '[‸["a",1]]]}')
    + rows(type_error("map", "a string"), SURFACES + '{"Name":‸{}}]}')
    + rows(type_error("floating point `1.5`", "a string"), SURFACES + "[1.5‸,2]]}")
    + rows(type_error("floating point `-0.0`", "a string"), TABLES + '{"Key":-0‸}]}')
    + rows(type_error('string "3"', "f64"), SURFACES + '{"Name":"a","Weight":"3"‸}]}',
           SURFACES + '{"Weight":"3"‸}]}')
    + rows(type_error('string "1.5"', "f64"), TABLES + '["k","1.5"‸]]}')
    + rows(type_error("null", "f64"), SURFACES + '{"Weight":null‸}]}', TABLES + '["k",null‸]]}')
    + rows(type_error("boolean `true`", "f64"), SURFACES + '{"Weight":true‸}]}')
    + rows(type_error("boolean `false`", "f64"), TABLES + '{"Value":false‸}]}')
    + rows(type_error("sequence", "f64"), SURFACES + '{"Weight":‸[1]}]}')
    + rows(type_error("map", "f64"), TABLES + '{"Value":\t‸{}}]}')
    + rows(EXPECTED_VALUE, SURFACES + '{"Name":"a","Weight":1,"note":[1,]‸')
    # Entries spelled nearly as usual, faulty only at their end or in a
    # repeat: each must be judged from its start as any other entry is.
    + rows("duplicate field `Name`", SURFACES + '{"Name":"a","Weight":1,"Name"‸:"b"}]}',
           SURFACES + '{"Name":"a","Name"‸:"b","Weight":1}]}', SURFACES + '{"Name":"a","Name"‸:"b"}]}',
           '{"ModSurfaces":[{"Name":"a","Name"‸:"b"}],"WeightTables":[]}')
    + rows("duplicate field `Weight`", SURFACES + '{"Weight":1,"Weight"‸:2}]}')
    + rows("duplicate field `Key`", TABLES + '{"Key":"a","Key"‸:"b"}]}')
    + rows("duplicate field `Value`", TABLES + '{"Value":1, "Value"‸:2,"Key":"k"}]}',
           TABLES + '{"Value":1,"Value"‸:2}]}')
    + rows("invalid number", SURFACES + '{"Name":"a","Weight":1.e‸5}]}', TABLES + '{"Key":"k","Value":-}‸]}')
    + rows("EOF while parsing an object", SURFACES + '{"Name":"a","Weight":1‸', SURFACES + '{"Name":"a","Weight":1 ‸')
    + rows("expected `,` or `}`", SURFACES + '{"Name":"a","Weight":1 "‸x":2}]}')
    + rows("expected `:`", SURFACES + '{"Name" "‸a","Weight":1}]}')
    + rows(type_error("integer `1`", "a string"), SURFACES + '{"Weight":1,"Name":1‸}]}')
)


@pytest.mark.parametrize("marked,message", MANIFEST_ROWS)
def test_manifest_refusal(marked, message):
    text, expected = located(marked, message)
    assert manifest_failure(text) == "Invalid ProjectManifest JSON: " + expected


MANIFEST_READS = [
    ('{"ModSurfaces":[],"WeightTables":[]}', ""),
    ('{"WeightTables":[],"ModSurfaces":[]}', ""),
    ("[[],[]]", ""),
    ('{"x":1,"ModSurfaces":[{"Name":"a","Weight":1,"Comment":"c"}],'
     '"WeightTables":[{"note":[],"Key":"k","Value":2}],"y":{"ModSurfaces":5}}',
     "a:1.000000;k:2.000000;"),
    ('{"modsurfaces":[{"Name":"z","Weight":9}],"ModSurfaces":[],"WeightTables":[]}', ""),
    ('[[["b",2],["a",0.5]],[["k",1]]]', "a:0.500000;b:2.000000;k:1.000000;"),
    ('[[{"Weight":2,"Name":"b"},["a",0.5]],[{"Value":1,"Key":"k"}]]', "a:0.500000;b:2.000000;k:1.000000;"),
    ('{"ModSurfaces":[["a",3]],"WeightTables":[]}', "a:3.000000;"),
    ('{"ModSurfaces":[["a",3.0]],"WeightTables":[]}', "a:3.000000;"),
    ('{"ModSurfaces":[["",0]],"WeightTables":[["",-0]]}', ":0.000000;:-0.000000;"),
    ('{"ModSurfaces":[["\\u004eame",1]],"WeightTables":[]}', "Name:1.000000;"),
    # The usual spelling next to its variants: whitespace of every kind,
    # either member order, escaped names and keys, extra members.
    ('{"ModSurfaces":[ {\t"Name" :\r"b" ,\n"Weight" : 2 } ,{"Weight":0.5,"Name":"a"}],'
     '"WeightTables":[{"Key":"k\\u00e9","Value":1},{"K\\u0065y":"j","Value":-1e0},{"Key":"i","x":0,"Value":3}]}',
     "a:0.500000;b:2.000000;i:3.000000;j:-1.000000;k\u00e9:1.000000;"),
]


@pytest.mark.parametrize("text,canonical", MANIFEST_READS)
def test_manifest_reads(text, canonical):
    assert orvex_core.generate_logic_fingerprint(text) == digest(canonical)
