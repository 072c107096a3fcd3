"""The JSON reader as a caller meets it: the exact text and position of every
reading error, which numbers are read and to what value, and what a member
that is only skipped may hold.

Manifest texts reach the reader through generate_logic_fingerprint, whose
failure reads "Invalid ProjectManifest JSON: <error> at line L column C".
Intent texts reach it through validate_intent_json; a parse failure is
decided before any signing key is needed, so these calls run without
ORVEX_SEED and must leave no audit log behind.

In the marked tables MARK (U+2038) stands just after the byte an error points
at; it is cut out before the text is handed over, and the expected line and
column follow from its byte offset. Rows whose point falls inside a
multi-byte character give line and column literally.
"""

import pytest

import orvex_core
from conftest import (ACTION_MISSING, EOF_LIST, EXPECTED_VALUE, GOOD_ACTION, GOOD_STATE, KEY_NOT_STRING,
                      TRAILING_CHARACTERS, TRAILING_COMMA, digest, manifest_failure, position, rows, split_mark,
                      validation_failure)

pytestmark = pytest.mark.usefixtures("keyless_workdir")

MANIFEST_PREFIX = "Invalid ProjectManifest JSON: "
EMPTY_MANIFEST = '{"ModSurfaces":[],"WeightTables":[]}'

EOF_OBJECT = "EOF while parsing an object"
EOF_STRING = "EOF while parsing a string"
EOF_VALUE = "EOF while parsing a value"
EXPECTED_COLON = "expected `:`"
EXPECTED_COMMA_OR_BRACKET = "expected `,` or `]`"
EXPECTED_COMMA_OR_BRACE = "expected `,` or `}`"
EXPECTED_IDENT = "expected ident"
INVALID_ESCAPE = "invalid escape"
INVALID_NUMBER = "invalid number"
OUT_OF_RANGE = "number out of range"
CONTROL = "control character (\\u0000-\\u001F) found while parsing a string"
LONE_SURROGATE = "lone leading surrogate in hex escape"
HEX_END = "unexpected end of hex escape"
RECURSION = "recursion limit exceeded"
EOF_ERRORS = {EOF_LIST, EOF_OBJECT, EOF_STRING, EOF_VALUE}

# Openings that put the next bytes where a particular kind of value is read.
WEIGHT = '{"ModSurfaces":[{"Name":"a","Weight":'  # a number, read
NAME = '{"ModSurfaces":[{"Weight":1,"Name":'  # a string, read
SKIP = '{"ModSurfaces":[],"WeightTables":[],"x":'  # any value, skipped


def expect_manifest_error(marked, message):
    text, offset = split_mark(marked)
    assert manifest_failure(text) == MANIFEST_PREFIX + message + position(text, offset)


# ---------------------------------------------------------------------------
# Position arithmetic: bytes, line feeds only, column 0 after a line feed.

LITERAL_POSITIONS = [
    ("", EOF_VALUE, 1, 0),
    ("   ", EOF_VALUE, 1, 3),
    ("\n", EOF_VALUE, 2, 0),
    ("\n\n \t", EOF_VALUE, 3, 2),
    ("{\n", EOF_OBJECT, 2, 0),
    ("\r\n\r", EOF_VALUE, 2, 1),
    ("\r\r\r", EOF_VALUE, 1, 3),
    ("\ufeff" + EMPTY_MANIFEST, EXPECTED_VALUE, 1, 1),
    ("\u00a0" + EMPTY_MANIFEST, EXPECTED_VALUE, 1, 1),
    ('[[["é",x', EXPECTED_VALUE, 1, 9),
    ('[[["\U0001F600",x', EXPECTED_VALUE, 1, 11),
    ('[\n[["é",\r x', EXPECTED_VALUE, 2, 10),
    ('{"ModSurfaces":\n[\n\n1', "invalid type: integer `1`, expected struct ModSurface", 4, 1),
    ('[[["a\nb",1]],[]]', CONTROL, 2, 0),
    ('[[["a\r",1]],[]]', CONTROL, 1, 6),
    ('\r\n\r\n{"ModSurfaces":[],\r\n"WeightTables":[]}\r\nx', TRAILING_CHARACTERS, 5, 1),
    (EMPTY_MANIFEST + "\u00a0", TRAILING_CHARACTERS, 1, len(EMPTY_MANIFEST) + 1),
    ('[[["\\é",1]],[]]', INVALID_ESCAPE, 1, 6),
    ('[[["\\u00\n0",1]],[]]', INVALID_ESCAPE, 2, 1),
]


@pytest.mark.parametrize("text,message,line,column", LITERAL_POSITIONS)
def test_positions_count_bytes_and_line_feeds(text, message, line, column):
    expected = f"{MANIFEST_PREFIX}{message} at line {line} column {column}"
    assert manifest_failure(text) == expected


# The four bytes after \u are bytes, not characters: the fourth is here the
# second byte of the letter é.
def test_invalid_hex_escape_points_at_fourth_byte():
    text = '[[["\\u12é",1]],[]]'
    assert manifest_failure(text) == MANIFEST_PREFIX + INVALID_ESCAPE + " at line 1 column 10"


# ---------------------------------------------------------------------------
# Every catalogue message, at the byte it names.

CATALOGUE = (
    rows(EOF_LIST,
         "[‸", '{"ModSurfaces":[‸', '{"ModSurfaces":[ {"Name":"a","Weight":1}‸',
         "[[],[]‸", '[[["a",1]‸', '[[["a"‸', SKIP + "[1,[2‸", SKIP + "[‸")
    + rows(EOF_OBJECT,
           "{‸", '{"ModSurfaces"‸', '{"ModSurfaces"  ‸', '{"ModSurfaces":[]‸',
           '{"ModSurfaces":[{"Name":"a"‸', '{"Unknown"‸', SKIP + "{‸", SKIP + '{"k"‸',
           SKIP + '{"k":1‸')
    + rows(EOF_STRING,
           '"‸', '{"‸', '{"Mod‸', NAME + '"ab‸', NAME + '"a\\‸', NAME + '"\\u00e‸',
           NAME + '"\\ud83d‸', NAME + '"\\ud83d\\‸', NAME + '"\\ud83d\\u‸',
           NAME + '"\\ud83d\\ude0‸', SKIP + '"abc‸', SKIP + '"\\u12‸', SKIP + '"\\ud800\\‸')
    + rows(EOF_VALUE,
           "‸", "  \t\r\n ‸", "-‸", "nul‸", '{"ModSurfaces":‸', '{"ModSurfaces":[],‸',
           '{"ModSurfaces":[{"Name":"a",‸', "[[],‸", '[[["a",‸', WEIGHT + "-‸",
           WEIGHT + "1.‸", WEIGHT + "1e‸", WEIGHT + "1E+‸", WEIGHT + "2e-‸", WEIGHT + "n‸",
           WEIGHT + "tru‸", WEIGHT + "fals‸", SKIP + "‸", SKIP + "t‸", SKIP + "[1,‸",
           SKIP + '{"k":‸')
    + rows(EXPECTED_COLON,
           '{"ModSurfaces" [‸]', '{"ModSurfaces"=‸[]', '{"x",‸1}', '{"x" 1‸}',
           '{"ModSurfaces":[{"Name" "‸a"', '{"ModSurfaces"\n}‸', SKIP + '{"k" 1‸}}')
    + rows(EXPECTED_COMMA_OR_BRACKET,
           '{"ModSurfaces":[{"Name":"a","Weight":1} {‸', '[[["a" 1‸', "[[] [‸]]", "[[]}‸",
           SKIP + "[1 2‸]}", SKIP + "[1}‸", SKIP + "[0x‸1]}")
    + rows(EXPECTED_COMMA_OR_BRACE,
           '{"ModSurfaces":[] "‸WeightTables":[]}', '{"ModSurfaces":[{"Name":"a"]‸',
           SKIP + '{"k":1 "‸m":2}}', SKIP + "1 2‸}", SKIP + "0x‸1}", SKIP + '{"k":1]‸')
    + rows(EXPECTED_IDENT,
           "nulx‸", "tR‸ue", "fals ‸", WEIGHT + "nU‸ll}", WEIGHT + "tru ‸", SKIP + "nulL‸",
           SKIP + "tu‸re", SKIP + "fa1‸se")
    + rows(EXPECTED_VALUE,
           "x‸", "}‸", "]‸", ",‸", "\f‸" + EMPTY_MANIFEST, '{"ModSurfaces":x‸',
           '{"ModSurfaces":[,‸]', WEIGHT + "+‸1", WEIGHT + ".‸5", WEIGHT + "N‸aN",
           WEIGHT + "I‸nfinity", SKIP + "}‸", SKIP + "'‸a'}", SKIP + "[1,}‸]",
           SKIP + "[1,,‸2]}")
    + rows(INVALID_ESCAPE,
           NAME + '"\\x‸"', NAME + '"\\U‸0041"', NAME + '"\\u12G4‸"', NAME + '"\\uGGGG‸"',
           NAME + '"\\u 123‸"', NAME + '"\\ud800\\uXYZW‸"', '{"\\x‸":1}', SKIP + '"\\q‸"}',
           SKIP + '"\\uZZZZ‸"}', SKIP + '"\\u12"}‸')
    + rows(INVALID_NUMBER,
           "01‸", "-x‸", WEIGHT + "01‸", WEIGHT + "-01‸", WEIGHT + "00‸", WEIGHT + "-x‸",
           WEIGHT + "-.‸5", WEIGHT + "- ‸1", WEIGHT + "1.x‸", WEIGHT + "1.e‸5",
           WEIGHT + "1ex‸", WEIGHT + "1e+x‸", WEIGHT + "1e+-‸1", WEIGHT + "-I‸nfinity",
           SKIP + "01‸}", SKIP + "-a‸}", SKIP + "1.]‸")
    + rows(OUT_OF_RANGE,
           WEIGHT + "1e309‸", WEIGHT + "-1e309‸", WEIGHT + "10e308‸", WEIGHT + "123.456e307‸",
           WEIGHT + "1e2147483647‸", WEIGHT + "1e2147483648‸", WEIGHT + "1e+9999999999‸9999",
           WEIGHT + "0.5e9999999999‸", WEIGHT + "1" + "0" * 309 + "‸",
           WEIGHT + "1.7976931348623159e308‸")
    + rows(CONTROL,
           NAME + '"a\t‸b"', NAME + '"\x00‸"', NAME + '"\x1f‸"', '{"Mod\t‸Surfaces"',
           SKIP + '"ab‸\t"}', SKIP + '"‸\x01"}', SKIP + '"‸\n"}', SKIP + '{"k‸\x1f":1}}')
    + rows(KEY_NOT_STRING,
           "{1‸:2}", "{,‸}", '{\f‸"ModSurfaces":[]}', "{'‸ModSurfaces':[]}",
           '{"ModSurfaces":[],1‸', '{"ModSurfaces":[{N‸ame', SKIP + "{1‸:2}}",
           SKIP + '{"k":1,}‸}', SKIP + "{,‸}}")
    + rows(LONE_SURROGATE,
           NAME + '"\\ud800\\u0041‸"', NAME + '"\\udc00‸"', NAME + '"\\uDFFF‸"',
           NAME + '"\\ud800\\ud800‸"', NAME + '"\\ud800\\ue000‸"', NAME + '"a\\udbff\\udbff‸"',
           '{"\\udc00‸":1}')
    + rows(HEX_END,
           NAME + '"\\ud800x‸"', NAME + '"\\ud800"‸', NAME + '"\\ud800\\n‸"',
           NAME + '"\\ud800 ‸\\udc00"', '{"\\uD83D\\"‸:1}')
    + rows(TRAILING_COMMA,
           '{"ModSurfaces":[],}‸', '{"ModSurfaces":[{"Name":"a","Weight":1},]‸', "[[],[],]‸",
           "[[],]‸", '[[["a",1,]‸', '{"ModSurfaces":[{"Name":"a",}‸',
           EMPTY_MANIFEST[:-1] + ',"x":1,}‸', "[[\n],\n]‸")
    + rows(TRAILING_CHARACTERS,
           EMPTY_MANIFEST + " {‸}", EMPTY_MANIFEST + "x‸", EMPTY_MANIFEST + "\n\n  ]‸",
           EMPTY_MANIFEST + "\f‸", "[[],[],[‸]]", "[[],[] x‸]", "[[],[],‸", "[[],[],x‸",
           "[[],[]]]‸", "[[],[]],‸[]", '[[["a",1,2‸]],[]]', '[[["a",1 2‸]],[]]', '[[["a",1,‸')
)


@pytest.mark.parametrize("marked,message", CATALOGUE)
def test_catalogue_message_and_position(marked, message):
    expect_manifest_error(marked, message)


# ---------------------------------------------------------------------------
# Numbers: the value each text reads as, seen in the canonical text.

def weight_manifest(number):
    return WEIGHT + number + '}],"WeightTables":[]}'


NUMBER_VALUES = [
    ("0", "0.000000"),
    ("-0", "-0.000000"),
    ("-0.0", "-0.000000"),
    ("0e0", "0.000000"),
    ("2", "2.000000"),
    ("2.0", "2.000000"),
    ("2e0", "2.000000"),
    ("20e-1", "2.000000"),
    ("0.2E+1", "2.000000"),
    ("1E2", "100.000000"),
    ("1e000000000000000000002", "100.000000"),
    ("1e-400", "0.000000"),
    ("-1e-400", "-0.000000"),
    ("1e-99999999999", "0.000000"),
    ("0e400", "0.000000"),
    ("0e999999999999", "0.000000"),
    ("-0e999999999999", "-0.000000"),
    ("0.0e+99999999999", "0.000000"),
    ("18446744073709551615", "18446744073709551616.000000"),
    ("18446744073709551616", "18446744073709551616.000000"),
    ("-9223372036854775808", "-9223372036854775808.000000"),
    ("-9223372036854775809", "-9223372036854775808.000000"),
    # an integer above 2**53 becomes the nearest double, ties to even
    ("9007199254740993", "9007199254740992.000000"),
    ("9007199254740995", "9007199254740996.000000"),
    # the significand 90071992547409930 first rounds to ...936; a tenth of
    # that rounds up, so the read value is not the correctly rounded one
    ("9007199254740993.0", "9007199254740994.000000"),
    ("1e21", "1000000000000000000000.000000"),
    ("123456.7890125", "123456.789012"),
    ("0.0078125", "0.007812"),
    ("-0.0000001", "-0.000000"),
    ("1e308", "%.6f" % float(10 ** 308)),
    ("1" + "0" * 308, "%.6f" % (float(10 ** 19) * float(10 ** 289))),
    # only the first twenty digits count; the rest scale the exponent
    ("123456789012345678901234567890",
     "%.6f" % (float(12345678901234567890) * float(10 ** 10))),
    ("-9.815901228912302e+69", "%.6f" % -(float(9815901228912302) * float(10 ** 54))),
]


@pytest.mark.parametrize("number,fixed", NUMBER_VALUES)
def test_number_reads_as(number, fixed):
    text = weight_manifest(number)
    assert orvex_core.generate_logic_fingerprint(text) == digest(f"a:{fixed};")


# The description of a value found shows a number's kind: integer or float.
NUMBER_DESCRIPTIONS = [
    ("0", "integer `0`"),
    ("5", "integer `5`"),
    ("-1", "integer `-1`"),
    ("18446744073709551615", "integer `18446744073709551615`"),
    ("-9223372036854775808", "integer `-9223372036854775808`"),
    ("18446744073709551616", "floating point `1.8446744073709552e+19`"),
    ("-9223372036854775809", "floating point `-9.223372036854776e+18`"),
    ("100000000000000000000", "floating point `1e+20`"),
    ("5.0", "floating point `5.0`"),
    ("5e0", "floating point `5.0`"),
    ("-0", "floating point `-0.0`"),
    ("1E2", "floating point `100.0`"),
    ("0.1", "floating point `0.1`"),
    ("12.5", "floating point `12.5`"),
    ("3.14159", "floating point `3.14159`"),
    ("123e-2", "floating point `1.23`"),
    ("-2.5e-3", "floating point `-0.0025`"),
    ("1e15", "floating point `1000000000000000.0`"),
    ("1e16", "floating point `1e+16`"),
    ("1.5e16", "floating point `1.5e+16`"),
    ("1e22", "floating point `1e+22`"),
    ("1e-5", "floating point `0.00001`"),
    ("0.00001234", "floating point `0.00001234`"),
    ("1e-6", "floating point `1e-6`"),
    ("1.2345e-7", "floating point `1.2345e-7`"),
    ("1.7976931348623157e308", "floating point `1.7976931348623157e+308`"),
    ("5e-324", "floating point `5e-324`"),
    ("2.5e-324", "floating point `5e-324`"),
    ("1e-400", "floating point `0.0`"),
    ("-1e-400", "floating point `-0.0`"),
    ("0e999999999999", "floating point `0.0`"),
    ("123456789012345678901234567890", "floating point `1.2345678901234568e+29`"),
    ("1234567890123456.7", "floating point `1234567890123456.8`"),
    ("9007199254740993.0", "floating point `9007199254740994.0`"),
    ("-9.815901228912302e+69", "floating point `-9.815901228912303e+69`"),
    ("3.729677083581595e+111", "floating point `3.7296770835815953e+111`"),
]


@pytest.mark.parametrize("number,description", NUMBER_DESCRIPTIONS)
def test_number_kind_and_float_text(number, description):
    text = " " + number
    expected = (f"{MANIFEST_PREFIX}invalid type: {description}, expected struct ProjectManifest"
                f" at line 1 column {len(text)}")
    assert manifest_failure(text) == expected


# ---------------------------------------------------------------------------
# Strings: escapes decoded, and the quoted text of a string found.

def test_escapes_are_decoded_into_the_name():
    name = r'"\"\\\/\b\f\n\r\t\u0041\u00e9\u20AC\ud83d\ude00\uD83D\uDE00\u0000\u007f"'
    text = NAME + name + '}],"WeightTables":[]}'
    decoded = '"\\/\b\f\n\r\tAé€\U0001F600\U0001F600\x00\x7f'
    assert orvex_core.generate_logic_fingerprint(text) == digest(decoded + ":1.000000;")


QUOTED_TEXTS = [
    ('""', '""'),
    ('"abc"', '"abc"'),
    (r'"\u0000"', r'"\0"'),
    (r'"\t\r\n"', r'"\t\r\n"'),
    (r'"\"\\\n"', r'"\"\\\n"'),
    (r'"\/"', '"/"'),
    ('"\'"', '"\'"'),
    ('" "', '" "'),
    (r'"\b\f"', r'"\u{8}\u{c}"'),
    (r'"\u0007"', r'"\u{7}"'),
    (r'"\u001b"', r'"\u{1b}"'),
    (r'"\u007f"', r'"\u{7f}"'),
    (r'"\u0085"', r'"\u{85}"'),
    (r'"\u00a0"', r'"\u{a0}"'),
    (r'"\u00ad"', r'"\u{ad}"'),
    (r'"e\u0301"', r'"e\u{301}"'),
    (r'"\u061c"', r'"\u{61c}"'),
    (r'"\u0378"', r'"\u{378}"'),
    (r'"\u0903"', '"\u0903"'),
    (r'"\u09be"', r'"\u{9be}"'),
    (r'"\u200b"', r'"\u{200b}"'),
    (r'"\u2028\u2029\u3000"', r'"\u{2028}\u{2029}\u{3000}"'),
    (r'"\ue000"', r'"\u{e000}"'),
    (r'"\ufeff"', r'"\u{feff}"'),
    (r'"\uff9e"', r'"\u{ff9e}"'),
    (r'"\udb80\udc00"', r'"\u{f0000}"'),
    ('"é€\U0001F600"', '"é€\U0001F600"'),
    (r'"\u00e9\u20ac\ud83d\ude00"', '"é€\U0001F600"'),
]


@pytest.mark.parametrize("string,quoted", QUOTED_TEXTS)
def test_string_found_is_quoted(string, quoted):
    expected = (f"{MANIFEST_PREFIX}invalid type: string {quoted}, expected struct ProjectManifest"
                f" at line 1 column {len(string.encode())}")
    assert manifest_failure(string) == expected


# ---------------------------------------------------------------------------
# Skipped members: the same syntax, with the listed differences.

SKIPPED_ACCEPTED = [
    r'"\ud800"', r'"\udc00"', r'"\ud800x"', r'"\ud800\u0041"', r'"\uDFFF\uD800"',
    "1e309", "-1e400", "1e999999999999", "1e-999999999999", "9" * 400, "0." + "0" * 400 + "1",
    '{"a":1,"a":[true,false,null]}', '[[],{},"",0,-0.5E-3]', " \t\r\n1 \t\r\n",
]


@pytest.mark.parametrize("value", SKIPPED_ACCEPTED)
def test_skipped_member_accepts(value):
    assert orvex_core.generate_logic_fingerprint(SKIP + value + "}") == digest("")


SKIPPED_VERSUS_READ = [
    # (read text, its error, skipped text, its error)
    (NAME + '"\\udc00‸"', LONE_SURROGATE, None, None),
    (WEIGHT + "1e9999999999‸99", OUT_OF_RANGE, None, None),
    (WEIGHT + "-‸", EOF_VALUE, SKIP + "-‸", INVALID_NUMBER),
    (WEIGHT + "1.‸", EOF_VALUE, SKIP + "1.‸", INVALID_NUMBER),
    (WEIGHT + "1e‸", EOF_VALUE, SKIP + "1e‸", INVALID_NUMBER),
    (WEIGHT + "1E-‸", EOF_VALUE, SKIP + "[1E-‸", INVALID_NUMBER),
    ('{"ModSurfaces":[{"Name":"a","Weight":1},]‸', TRAILING_COMMA, SKIP + "[1,]‸", EXPECTED_VALUE),
    ('{"ModSurfaces":[],}‸', TRAILING_COMMA, SKIP + '{"k":1,}‸', KEY_NOT_STRING),
    (NAME + '"ab\t‸"', CONTROL, SKIP + '"ab‸\t"', CONTROL),
]


@pytest.mark.parametrize("read,read_message,skipped,skipped_message", SKIPPED_VERSUS_READ)
def test_skipped_member_differs_from_read_value(read, read_message, skipped, skipped_message):
    expect_manifest_error(read, read_message)
    if skipped is not None:
        expect_manifest_error(skipped, skipped_message)


# ---------------------------------------------------------------------------
# Nesting under an unknown member is not limited, and deep input cannot crash.

DEEP = 100_000
UNCLOSED = 1_000_000


@pytest.mark.parametrize("value", [
    "[" * DEEP + "]" * DEEP,
    '{"a":' * DEEP + "null" + "}" * DEEP,
    '[{"a":' * DEEP + "1" + "}]" * DEEP,
])
def test_deep_skipped_member_reads(value):
    assert orvex_core.generate_logic_fingerprint(SKIP + value + "}") == digest("")


@pytest.mark.parametrize("opening,message", [
    ("[", EOF_LIST),
    ('{"a":', EOF_VALUE),
    ('{"a":[', EOF_LIST),
])
def test_unclosed_skipped_member_is_eof(opening, message):
    text = SKIP + opening * (UNCLOSED // len(opening))
    assert manifest_failure(text) == MANIFEST_PREFIX + message + position(text, len(text))


# ---------------------------------------------------------------------------
# Through the intent: parse failures need no seed and leave no log.

INTENT_TAIL = ',"id":"i","mode":"m","version":"1","constraints":[]}'
GOOD_INTENT = '{"objective":"o"' + INTENT_TAIL


def intent_reads(intent):
    return validation_failure(intent, action="") == ACTION_MISSING


def objective_intent(objective):
    return '{"objective":' + objective + INTENT_TAIL


def test_good_intent_reads():
    assert intent_reads(GOOD_INTENT)


INTENT_ERRORS = [
    ("‸", EOF_VALUE),
    ('{"objective":[1,]‸', TRAILING_COMMA),
    ('{"objective":[1 2‸]', EXPECTED_COMMA_OR_BRACKET),
    ('{"objective":{"a" 1‸', EXPECTED_COLON),
    ('{"objective":{"a":1,}‸', TRAILING_COMMA),
    ('{"objective":"\\udc00‸"', LONE_SURROGATE),
    ('{"objective":"\\ud800"‸', HEX_END),
    ('{"objective":"\\ud800\\u0041‸"', LONE_SURROGATE),
    ('{"objective":1e400‸', OUT_OF_RANGE),
    ('{"objective":-‸', EOF_VALUE),
    ('{"objective":"\n‸', CONTROL),
    ('{"id":"i"\n,\n"mode":tx‸', EXPECTED_IDENT),
    (GOOD_INTENT + " x‸", TRAILING_CHARACTERS),
    (GOOD_INTENT + GOOD_INTENT[0] + "‸", TRAILING_CHARACTERS),
]


@pytest.mark.parametrize("marked,message", INTENT_ERRORS)
def test_intent_reading_error(marked, message):
    text, offset = split_mark(marked)
    assert validation_failure(text) == "Invalid Intent JSON: " + message + position(text, offset)


@pytest.mark.parametrize("objective", [
    r'"\ud83d\ude00"', r'"\uD83D\uDE00"', "1e-400", "0e999999999999", "-0",
    "18446744073709551616", '{"b":1,"a":2,"a":3}', "[" * 126 + "]" * 126,
    '{"a":' * 126 + "1" + "}" * 126, "[" + ("[" * 125 + "]" * 125 + ",") * 3 + "0]",
])
def test_objective_reads(objective):
    assert intent_reads(objective_intent(objective))


@pytest.mark.parametrize("unknown", [
    r'"\ud800"', "1e999999999999", "[" * DEEP + "]" * DEEP,
])
def test_intent_unknown_member_is_skipped(unknown):
    assert intent_reads('{"zz":' + unknown + "," + GOOD_INTENT[1:])


# ---------------------------------------------------------------------------
# Nesting budget: 127 open arrays and objects, the document's own included.

def test_objective_nesting_limit_with_arrays():
    opening = '{"objective":'
    text = objective_intent("[" * 127 + "]" * 127)
    expected = f"Invalid Intent JSON: {RECURSION} at line 1 column {len(opening) + 127}"
    assert validation_failure(text) == expected


def test_objective_nesting_limit_with_objects():
    opening = '{"objective":'
    text = objective_intent('{"a":' * 127 + "1" + "}" * 127)
    column = len(opening) + 126 * len('{"a":') + 1
    assert validation_failure(text) == f"Invalid Intent JSON: {RECURSION} at line 1 column {column}"


def test_constraint_value_nesting_counts_enclosing_documents():
    def intent(depth):
        constraint = '{"attribute":"a","operator":"==","priority":0,"value":'
        value = "[" * depth + "]" * depth
        return '{"constraints":[' + constraint + value + '}],"id":"i","objective":1,"mode":"m","version":"1"}'

    assert intent_reads(intent(124))
    opening = '{"constraints":[{"attribute":"a","operator":"==","priority":0,"value":'
    expected = f"Invalid Intent JSON: {RECURSION} at line 1 column {len(opening) + 125}"
    assert validation_failure(intent(125)) == expected


def test_params_nesting_limit():
    def action(depth):
        return '{"params":{"v":' + "[" * depth + "]" * depth + "}}"

    assert validation_failure(GOOD_INTENT, action(125), "") == (
        "Invalid State JSON: EOF while parsing a value at line 1 column 0")
    column = len('{"params":{"v":') + 126
    expected = f"Invalid Action JSON: {RECURSION} at line 1 column {column}"
    assert validation_failure(GOOD_INTENT, action(126)) == expected


def test_skipped_depth_does_not_spend_the_budget():
    intent = '{"zz":' + "[" * 1000 + "]" * 1000 + ',"objective":' + "[" * 126 + "]" * 126 + INTENT_TAIL
    assert intent_reads(intent)


def test_a_million_brackets_in_a_read_value_stop_at_the_limit():
    opening = '{"objective":'
    text = opening + "[" * UNCLOSED
    expected = f"Invalid Intent JSON: {RECURSION} at line 1 column {len(opening) + 127}"
    assert validation_failure(text) == expected


def test_a_million_unclosed_brackets_under_an_unknown_intent_member():
    text = '{"zz":' + "[" * UNCLOSED
    assert validation_failure(text) == f"Invalid Intent JSON: {EOF_LIST}{position(text, len(text))}"


# ---------------------------------------------------------------------------
# Prefix loop: every proper prefix of a valid document ends in an EOF error at
# its end. Skipped numbers here carry no sign, point or exponent, since a cut
# one of those reports "invalid number" (tested above).

VALID_MANIFESTS = [
    '{"ModSurfaces":[{"Name":"b","Weight":2,"Note":{"k":[1,"x\\n",null,true,false]}},\r\n'
    ' ["a\\u00e9",0.5e1],\n {"Weight":-1.25E+2,"Name":"\\ud83d\\ude00é"}],\n'
    ' "Extra":[[],{}],"WeightTables":[{"Key":"k","Value":-0},["\\"",1e-2]]}',
    '[[["a",1],{"Name":"b","Weight":2.5}],\n\t[["c",3E0]]]',
]

VALID_INTENT = (
    '{"id":"i-1","objective":{"b":[1,-2.5e-3,true,null],"a":"\\u00e9\\ud83d\\ude00"},\r\n'
    ' "mode":"strict","version":"1.0","note":[{"x":"y"},false,12],\n'
    ' "constraints":[{"attribute":"amount","operator":"<=","value":100,"priority":1},\n'
    '  ["currency","==","EUR",-2]]}'
)


@pytest.mark.parametrize("document", VALID_MANIFESTS)
def test_every_manifest_prefix_ends_in_eof(document):
    orvex_core.generate_logic_fingerprint(document)
    for cut in range(len(document)):
        prefix = document[:cut]
        failure = manifest_failure(prefix)
        end = position(prefix, len(prefix.encode()))
        assert failure.startswith(MANIFEST_PREFIX) and failure.endswith(end), (prefix, failure)
        assert failure[len(MANIFEST_PREFIX):-len(end)] in EOF_ERRORS, (prefix, failure)


def test_every_intent_prefix_ends_in_eof():
    assert intent_reads(VALID_INTENT)
    prefix_text = "Invalid Intent JSON: "
    for cut in range(len(VALID_INTENT)):
        prefix = VALID_INTENT[:cut]
        failure = validation_failure(prefix)
        end = position(prefix, len(prefix.encode()))
        assert failure.startswith(prefix_text) and failure.endswith(end), (prefix, failure)
        assert failure[len(prefix_text):-len(end)] in EOF_ERRORS, (prefix, failure)
