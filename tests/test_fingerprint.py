"""The logic fingerprint: SHA-256 of the canonical text of a manifest, in
lowercase hexadecimal, and its byte-exact comparison.

Expected fingerprints are the digest of a canonical text written out here
("name:weight;" for each sorted mod surface, then for each sorted weight
table), never a second answer of the module.
"""

import json
import re

import pytest
from hypothesis import assume, given, settings, strategies as st

import orvex_core
from conftest import digest

MANIFEST_PREFIX = "Invalid ProjectManifest JSON: "


def fingerprint(text):
    return orvex_core.generate_logic_fingerprint(text)


def manifest(surfaces, tables):
    """Object form from (name, number text) pairs, names JSON-escaped."""
    def entries(pairs, name_key, number_key):
        return ",".join(f'{{"{name_key}":{json.dumps(n)},"{number_key}":{v}}}' for n, v in pairs)
    return (f'{{"ModSurfaces":[{entries(surfaces, "Name", "Weight")}],'
            f'"WeightTables":[{entries(tables, "Key", "Value")}]}}')


EXAMPLE = manifest([("b", "2"), ("a", "0.5")], [("k", "1")])
EXAMPLE_CANONICAL = "a:0.500000;b:2.000000;k:1.000000;"


def test_example_manifest():
    assert len(EXAMPLE_CANONICAL.encode()) == 33
    assert fingerprint(EXAMPLE) == digest(EXAMPLE_CANONICAL)


def test_empty_lists_hash_the_empty_text():
    assert fingerprint('{"ModSurfaces":[],"WeightTables":[]}') == (
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855")


def test_fingerprint_is_lowercase_hex():
    assert re.fullmatch("[0-9a-f]{64}", fingerprint(EXAMPLE))


# Spellings of the example that must not change its fingerprint.
SAME_AS_EXAMPLE = [
    manifest([("a", "0.5"), ("b", "2")], [("k", "1")]),
    manifest([("b", "2.0"), ("a", "5e-1")], [("k", "1e0")]),
    manifest([("b", "2e0"), ("a", "0.50")], [("k", "10E-1")]),
    '{"WeightTables":[{"Value":1,"Key":"k"}],"ModSurfaces":[{"Weight":2,"Name":"b"},{"Weight":0.5,"Name":"a"}]}',
    '{"ModSurfaces":[{"Name":"b","Weight":2,"Colour":"red"},{"Name":"a","Weight":0.5}],'
    '"WeightTables":[{"Key":"k","Value":1}],"Version":[1,{"x":null}]}',
    ' \n{ "ModSurfaces" : [ [ "b" , 2 ] ,\r\n\t[ "a" , 0.5 ] ] , "WeightTables" : [ [ "k" , 1 ] ] }\n ',
    '[[["b",2],{"Name":"a","Weight":0.5}],[["\\u006b",1]]]',
]


@pytest.mark.parametrize("text", SAME_AS_EXAMPLE)
def test_spelling_does_not_change_the_fingerprint(text):
    assert fingerprint(text) == digest(EXAMPLE_CANONICAL)


CANONICAL_TEXTS = [
    # equal names keep document order
    (manifest([("a", "2"), ("a", "1")], []), "a:2.000000;a:1.000000;"),
    (manifest([("a", "1"), ("a", "2")], []), "a:1.000000;a:2.000000;"),
    (manifest([], [("k", "3"), ("j", "0"), ("k", "1")]), "j:0.000000;k:3.000000;k:1.000000;"),
    # mod surfaces first, whatever the names
    (manifest([("b", "1")], [("a", "2")]), "b:1.000000;a:2.000000;"),
    (manifest([("x", "1")], [("x", "1")]), "x:1.000000;x:1.000000;"),
    # byte order of UTF-8: capitals before lower case, prefixes first,
    # U+FF5E before U+1F600 (their UTF-16 units would sort the other way)
    (manifest([("ab", "1"), ("a", "2"), ("B", "3"), ("\U0001F600", "4"), ("\uff5e", "5"),
               ("é", "6"), ("z", "7"), ("", "8")], []),
     ":8.000000;B:3.000000;a:2.000000;ab:1.000000;z:7.000000;é:6.000000;\uff5e:5.000000;"
     "\U0001F600:4.000000;"),
    # names are written as decoded, separators included
    (manifest([("a:b;c", "1"), ("q\"\\\n", "2")], []), "a:b;c:1.000000;q\"\\\n:2.000000;"),
    (manifest([("\x00", "1"), ("\x01", "2")], []), "\x00:1.000000;\x01:2.000000;"),
]


@pytest.mark.parametrize("text,canonical", CANONICAL_TEXTS)
def test_canonical_text(text, canonical):
    assert fingerprint(text) == digest(canonical)


FIXED_DECIMALS = [
    ("0.5", "0.500000"),
    ("2", "2.000000"),
    ("0.1", "0.100000"),
    ("0.125", "0.125000"),
    ("-1.5", "-1.500000"),
    ("0.00000025", "0.000000"),
    ("0.0000005", "0.000000"),
    ("0.0000015", "0.000002"),
    ("0.0000025", "0.000003"),
    ("0.0000045", "0.000005"),
    ("0.0078125", "0.007812"),
    ("1.0000005", "1.000001"),
    ("0.9999995", "1.000000"),
    ("999999.9999995", "999999.999999"),
    ("123456.7890125", "123456.789012"),
    ("0.1234561", "0.123456"),
    ("0.1234564", "0.123456"),
    ("1e21", "1000000000000000000000.000000"),
    ("1e300", "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375"
     "080447864043704443832883878176942523235360430575644792184786706982848387200926575803737830233794"
     "788090059368953234970799945081119038967640880074652742780142494579258788820056842838115669472196"
     "386865459400540160.000000"),
    ("0", "0.000000"),
    ("-0", "-0.000000"),
    ("-0.0000001", "-0.000000"),
    ("-2.5e-7", "-0.000000"),
    ("5e-324", "0.000000"),
    ("-5e-324", "-0.000000"),
]


@pytest.mark.parametrize("number,fixed", FIXED_DECIMALS)
def test_fixed_six_decimals(number, fixed):
    assert fingerprint(manifest([("w", number)], [("v", number)])) == digest(f"w:{fixed};v:{fixed};")


def test_zero_and_negative_zero_differ():
    assert fingerprint(manifest([("a", "0")], [])) == digest("a:0.000000;")
    assert fingerprint(manifest([("a", "-0")], [])) == digest("a:-0.000000;")


@pytest.mark.parametrize("count", [2, 19, 20, 21, 64, 257])
def test_sort_is_stable_at_every_length(count):
    # Equal names, prefixes of each other, NUL bytes (equal to the padding
    # of a short name), and names alike in their first eight bytes.
    names = ["b", "a", "c", "B", "ab", "a", "a\u0000", "a\u0000\u0000", "abcdefgh", "abcdefghi",
             "abcdefgh\u0000", "abcdefg\u00ff", "abcdefgg\u00ff", "abcdefgh"]
    surfaces = [(names[i % len(names)], str(i)) for i in range(count)]
    tables = [(names[(i * 5) % len(names)], str(-i)) for i in range(count)]
    canonical = "".join(f"{n}:{float(v):.6f};" for n, v in sorted(surfaces, key=lambda e: e[0].encode()))
    canonical += "".join(f"{n}:{float(v):.6f};" for n, v in sorted(tables, key=lambda e: e[0].encode()))
    assert fingerprint(manifest(surfaces, tables)) == digest(canonical)


# Entries whose text is long next to the canonical text's buffer (names of
# up to 200 KB, numbers of 300 digits), among short ones, at every count
# around where small manifests switch to larger buffers.
@pytest.mark.parametrize("name_sizes", [
    [1, 2_000, 1],
    [70_000, 3, 65_530, 65_536, 1],
    [200_000],
    [30] * 3000,
])
def test_long_names_and_numbers_cross_buffer_edges(name_sizes):
    numbers = ["1e300", "-1e299", "0.25", "12345678901234567890"]
    surfaces = [(chr(ord("a") + i % 26) * size, numbers[i % len(numbers)]) for i, size in enumerate(name_sizes)]
    tables = [(f"t{i}", numbers[-1 - i % len(numbers)]) for i in range(len(name_sizes))]
    canonical = "".join(f"{n}:{float(v):.6f};" for n, v in sorted(surfaces, key=lambda e: e[0].encode()))
    canonical += "".join(f"{n}:{float(v):.6f};" for n, v in sorted(tables, key=lambda e: e[0].encode()))
    assert fingerprint(manifest(surfaces, tables)) == digest(canonical)


# ---------------------------------------------------------------------------
# Verify

EXAMPLE_DIGEST = digest(EXAMPLE_CANONICAL)


def test_verify_accepts_the_exact_fingerprint():
    assert orvex_core.verify_logic_fingerprint(EXAMPLE, EXAMPLE_DIGEST) is True
    assert orvex_core.verify_logic_fingerprint(
        expected_fingerprint=EXAMPLE_DIGEST, manifest_json=EXAMPLE) is True


@pytest.mark.parametrize("expected", [
    EXAMPLE_DIGEST.upper(),
    EXAMPLE_DIGEST + "\n",
    " " + EXAMPLE_DIGEST,
    EXAMPLE_DIGEST + " ",
    EXAMPLE_DIGEST[:-1],
    EXAMPLE_DIGEST + "0",
    "",
    digest(""),
    digest("a:0.500000;b:2.000000;k:1.000000"),
])
def test_verify_refuses_near_misses(expected):
    assert orvex_core.verify_logic_fingerprint(EXAMPLE, expected) is False


def test_verify_refuses_every_single_digit_change():
    for i, digit in enumerate(EXAMPLE_DIGEST):
        flipped = "0123456789abcdef"[(int(digit, 16) + 1) % 16]
        tampered = EXAMPLE_DIGEST[:i] + flipped + EXAMPLE_DIGEST[i + 1:]
        assert orvex_core.verify_logic_fingerprint(EXAMPLE, tampered) is False, i


def test_verify_reports_an_unreadable_manifest_whatever_is_expected():
    with pytest.raises(ValueError) as caught:
        orvex_core.verify_logic_fingerprint("not json", EXAMPLE_DIGEST)
    assert str(caught.value) == MANIFEST_PREFIX + "expected ident at line 1 column 2"
    with pytest.raises(ValueError) as caught:
        orvex_core.verify_logic_fingerprint("{}", digest(""))
    assert str(caught.value) == MANIFEST_PREFIX + "missing field `ModSurfaces` at line 1 column 2"


def test_verify_converts_both_arguments_before_reading():
    with pytest.raises(TypeError) as caught:
        orvex_core.verify_logic_fingerprint("not json", 5)
    assert str(caught.value) == (
        "argument 'expected_fingerprint': 'int' object cannot be converted to 'PyString'")


@pytest.mark.parametrize("text,message", [
    ("", "EOF while parsing a value at line 1 column 0"),
    ('{"ModSurfaces":[["a",1e309]],"WeightTables":[]}', "number out of range at line 1 column 26"),
    ('{"ModSurfaces":[["a","1"]],"WeightTables":[]}',
     'invalid type: string "1", expected f64 at line 1 column 24'),
])
def test_generate_reports_an_unreadable_manifest(text, message):
    with pytest.raises(ValueError) as caught:
        fingerprint(text)
    assert str(caught.value) == MANIFEST_PREFIX + message


# ---------------------------------------------------------------------------
# Properties over random manifests.

U64_MAX = 2 ** 64 - 1


def read_as_reader(text):
    """The double that a JSON number text reads as: a significand of at most
    64 bits, a decimal exponent, then scaling by the nearest doubles of the
    powers of ten, 1e308 at a time. None when the reader reports the number
    out of range."""
    negative = text.startswith("-")
    whole, fraction, sign, exponent = re.fullmatch(
        r"-?(\d+)(?:\.(\d+))?(?:[eE]([+-]?)(\d+))?", text).groups()
    significand, scale, full = 0, 0, False
    for digit in whole:
        full = full or significand * 10 + int(digit) > U64_MAX
        if full:
            scale += 1
        else:
            significand = significand * 10 + int(digit)
    for digit in fraction or "":
        full = full or significand * 10 + int(digit) > U64_MAX
        if not full:
            significand, scale = significand * 10 + int(digit), scale - 1
    if exponent is not None:
        if int(exponent) > 2 ** 31 - 1:
            if sign != "-" and significand:
                return None
            return -0.0 if negative else 0.0
        scale += -int(exponent) if sign == "-" else int(exponent)
        scale = max(-2 ** 31, min(2 ** 31 - 1, scale))
    value = float(significand)
    while value and not -308 <= scale <= 308:
        if scale > 0:
            return None
        value, scale = value / float(10 ** 308), scale + 308
    if value:
        if scale >= 0:
            value *= float(10 ** scale)
            if value == float("inf"):
                return None
        else:
            value /= float(10 ** -scale)
    return -value if negative else value


def test_reader_replica_on_known_values():
    assert read_as_reader("9007199254740993.0") == 9007199254740994.0
    assert read_as_reader("1e-400") == 0.0 and str(read_as_reader("-1e-400")) == "-0.0"
    assert read_as_reader("1e309") is None and read_as_reader("0e999999999999") == 0.0
    assert read_as_reader("0.5") == 0.5 and read_as_reader("18446744073709551616") == 2.0 ** 64


NAMES = st.one_of(st.sampled_from(["a", "b", "B", "ab", "", "é", "a:b;", "\U0001F600", "\uff5e"]),
                  st.text(max_size=6))


def exact_decimal(pair):
    # At most 15 digits and a power of ten of at most 22: one correctly
    # rounded operation, so the double read is the nearest one.
    digits, power = pair
    text = f"{digits}e{power}"
    return text, float(text)


EXACT_NUMBERS = st.one_of(
    st.integers(0, U64_MAX).map(lambda n: (str(n), float(n))),
    st.integers(-2 ** 63, -1).map(lambda n: (str(n), float(n))),
    st.tuples(st.integers(-(10 ** 15 - 1), 10 ** 15 - 1), st.integers(-22, 22)).map(exact_decimal),
    st.just(("-0", -0.0)),
)


def replica_number(x):
    text = repr(x)
    return text, read_as_reader(text)


ANY_DOUBLES = st.floats(allow_nan=False, allow_infinity=False).map(replica_number)


@st.composite
def manifests(draw, numbers):
    def entry(name_key, number_key):
        name = draw(NAMES)
        number_text, value = draw(numbers)
        name_json = json.dumps(name, ensure_ascii=draw(st.booleans()))
        if draw(st.booleans()):
            return f"[{name_json}, {number_text}]", (name, value)
        members = [f'"{name_key}":{name_json}', f'"{number_key}":{number_text}']
        if draw(st.booleans()):
            members.append('"Note":[1,{"x":null,"y":"\\ud800"}]')
        return "{" + ",".join(draw(st.permutations(members))) + "}", (name, value)

    surfaces = [entry("Name", "Weight") for _ in range(draw(st.integers(0, 25)))]
    tables = [entry("Key", "Value") for _ in range(draw(st.integers(0, 25)))]
    members = ['"ModSurfaces":[' + ",\n".join(t for t, _ in surfaces) + "]",
               '"WeightTables":[' + ", ".join(t for t, _ in tables) + "]"]
    text = "{" + ",".join(draw(st.permutations(members))) + "}"
    return text, [v for _, v in surfaces], [v for _, v in tables]


def canonical_text(surfaces, tables):
    ordered = sorted(surfaces, key=lambda e: e[0].encode()) + sorted(tables, key=lambda e: e[0].encode())
    return "".join("%s:%.6f;" % (name, value) for name, value in ordered)


@settings(max_examples=300, deadline=None, database=None)
@given(manifests(EXACT_NUMBERS))
def test_fingerprint_matches_canonical_text(case):
    text, surfaces, tables = case
    expected = digest(canonical_text(surfaces, tables))
    assert fingerprint(text) == expected
    assert orvex_core.verify_logic_fingerprint(text, expected) is True


@settings(max_examples=300, deadline=None, database=None)
@given(manifests(ANY_DOUBLES))
def test_fingerprint_of_any_doubles_as_the_reader_scales_them(case):
    text, surfaces, tables = case
    assume(all(value is not None for _, value in surfaces + tables))
    assert fingerprint(text) == digest(canonical_text(surfaces, tables))
