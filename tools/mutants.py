#!/usr/bin/env python3
"""Faults made on purpose in the fast paths, one at a time, against the C++ tests.

Each mutant below replaces one piece of text in one source file (an
off-by-one bound, a flipped comparison, a wrong mask or constant, a dropped
check, a swapped order). For each, this script applies it, rebuilds the C++
test binary in an existing CMake build tree, runs the binary, puts the file
back, and reports whether a test failed ("caught"), none did ("SURVIVED"),
or the mutant does not compile.

A mutant marked `equivalent` cannot change any output (only speed or which
path computes the same result); its entry says why, and it is expected to
survive. Every other mutant must be caught.

Each mutant is first tried quickly: the fast path's own sources and tests
are compiled alone and linked before the build tree's library; a failing
test there counts as caught. Only what passes there (and every equivalent
mutant) is built into the whole C++ suite and run against all of it. Not
part of `make test`: a run of every mutant takes about half an hour on two
shared cores. Rerun it after changing a fast path, and when a mutant's text
is no longer found ("BAD ENTRY"), update its entry below.

    cmake -S . -B build/cpp -DORVEX_BUILD_TESTS=ON -DORVEX_BUILD_MODULE=OFF
    python3 tools/mutants.py                    # every mutant
    python3 tools/mutants.py --group sha256     # one fast path
    python3 tools/mutants.py --only n-add5 s-plain-space
    python3 tools/mutants.py --list
"""
from __future__ import annotations

import argparse
import os
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


@dataclass(frozen=True)
class Mutant:
    name: str
    group: str
    path: str  # from the repository's root
    old: str  # occurs exactly once in the file
    new: str
    equivalent: str = ""  # why no output can change, when none can


M = Mutant
BYTE_SCAN = "src/json/byte_scan.h"
STRINGS = "src/json/string_reader.cc"
NUMBERS = "src/json/number_reader.cc"
EIGHT = "src/json/eight_digits.h"
FIXED = "src/fingerprint/fixed_decimal.cc"
SHA = "src/fingerprint/sha256.cc"
ENTRY = "src/documents/usual_entry.h"
ORDER = "src/fingerprint/name_order.cc"
SEED = "src/audit/seed_text.cc"
SEED_HEX = "src/audit/seed_digits.cc"
SEED_KEY = "src/audit/signing_key.cc"
UTF8 = "src/json/utf8.cc"
HEX = "src/common/hex.cc"

MUTANTS = [
    # String scanning: the vector and word scans for the next special byte,
    # keys read in place, escapes.
    M("s-plain-space", "string", BYTE_SCAN, "c != '\\\\' && c >= 0x20; }", "c != '\\\\' && c > 0x20; }"),
    M("s-sse-limit", "string", BYTE_SCAN, "static_cast<char>(0x20 ^ 0x80)", "static_cast<char>(0x1F ^ 0x80)"),
    M("s-sse-no-flip", "string", BYTE_SCAN, "_mm_cmplt_epi8(_mm_xor_si128(x, top_bit16), control_limit16)",
      "_mm_cmplt_epi8(x, control_limit16)"),
    M("s-sse-no-backslash", "string", BYTE_SCAN, "_mm_cmpeq_epi8(x, backslash16)", "_mm_cmpeq_epi8(x, quote16)"),
    M("s-sse-first-byte", "string", BYTE_SCAN, "if (flagged != 0) return p + __builtin_ctz(",
      "if (flagged > 1) return p + __builtin_ctz("),
    M("s-sse-block", "string", BYTE_SCAN, "while (end - p >= 16) {", "while (end - p >= 17) {",
      equivalent="a block of exactly sixteen bytes goes to the word scan instead, which stops at the same byte"),
    M("s-word-limit", "string", BYTE_SCAN, "(x - kOnes * 0x20) & ~x & kHighs", "(x - kOnes * 0x1F) & ~x & kHighs"),
    M("s-word-no-not", "string", BYTE_SCAN, "(x - kOnes * 0x20) & ~x & kHighs", "(x - kOnes * 0x20) & kHighs"),
    M("s-word-quote", "string", BYTE_SCAN, "x ^ (kOnes * '\"')", "x ^ (kOnes * '\\'')"),
    M("s-word-index", "string", BYTE_SCAN, "(__builtin_ctzll(flagged) >> 3)", "(__builtin_ctzll(flagged) >> 4)"),
    M("s-close-any", "string", BYTE_SCAN, "close != end && *close == '\"' ? close + 1", "close != end ? close + 1"),
    M("s-key-length", "string", "src/json/reader.h", "after - cur_ - 2)", "after - cur_ - 1)"),
    M("s-hex-f", "string", STRINGS, "c >= 'a' && c <= 'f'", "c >= 'a' && c < 'f'"),
    M("s-hex-short", "string", STRINGS, "if (end_ - cur_ < 4) {", "if (end_ - cur_ < 3) {"),
    M("s-low-surrogate", "string", STRINGS, "low < 0xDC00 || low > 0xDFFF", "low < 0xDC00 || low >= 0xDFFF"),
    M("s-skip-nul-escape", "string", STRINGS, "e) == nullptr || e == 0)", "e) == nullptr)"),

    # Number reading: eight digits at once, the 19-digit budget, exponents.
    M("n-add5", "number", EIGHT, "0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ==",
      "0x0505050505050505ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) =="),
    M("n-add7", "number", EIGHT, "0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ==",
      "0x0707070707070707ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ==",
      equivalent="a word holding a '9' is refused as eight digits, and the digit loop after it takes the same digits"),
    M("n-high-mask", "number", EIGHT, "return (((v & 0xF0F0F0F0F0F0F0F0ULL) |", "return (((v & 0x7070707070707070ULL) |",
      equivalent="the second term alone puts every byte (plus 6 and any carry) in 0x30..0x3F, so no byte with its "
                 "top bit set passes either way"),
    M("n-pairs", "number", EIGHT, "v = (v * 10) + (v >> 8);", "v = (v * 10) + (v >> 16);"),
    M("n-quads", "number", EIGHT, "0x000F424000000064ULL", "0x000F424000000065ULL"),
    M("n-quad-mask", "number", EIGHT, "(((v >> 16) & 0x000000FF000000FFULL)", "(((v >> 16) & 0x0000003F0000003FULL)"),
    M("n-room", "number", NUMBERS, "while (room >= 8 && end - p >= 8) {", "while (room >= 7 && end - p >= 8) {"),
    M("n-slow-room", "number", NUMBERS, "while (room > 0 && p != end", "while (room >= 0 && p != end"),
    M("n-budget", "number", NUMBERS, "kDigitsThatAlwaysFit = 19;", "kDigitsThatAlwaysFit = 20;"),
    M("n-fits", "number", NUMBERS, "digit <= kU64Max % 10", "digit < kU64Max % 10"),
    M("n-fraction-room", "number", NUMBERS, "kDigitsThatAlwaysFit - digits, significand",
      "kDigitsThatAlwaysFit - digits + 1, significand"),
    M("n-exponent-limit", "number", NUMBERS, "if (explicit_exponent > (kI32Max", "if (explicit_exponent >= (kI32Max"),
    M("n-huge-zero", "number", NUMBERS, "if (!exponent_negative && significand != 0) return",
      "if (!exponent_negative) return"),
    M("n-zeroed-sign", "number", NUMBERS, "Number::floating(negative ? -0.0 : 0.0)", "Number::floating(0.0)"),
    M("n-saturate", "number", NUMBERS, "if (sum > kI32Max) return kI32Max;", "if (sum >= kI32Max) return kI32Max;",
      equivalent="a sum of exactly the largest int32 is returned as that same value"),
    M("n-most-negative", "number", NUMBERS, "significand <= kMostNegativeMagnitude",
      "significand < kMostNegativeMagnitude"),
    M("n-scale-step", "number", NUMBERS, "f /= 1e308;", "f /= 1e307;"),

    # Six-decimal formatting: the 128-bit exact path and its digits.
    M("f-implicit-bit", "fixed", FIXED, "mantissa |= std::uint64_t{1} << 52;", "mantissa |= std::uint64_t{1} << 51;"),
    M("f-bias", "fixed", FIXED, "exponent = biased_exponent - 1075;", "exponent = biased_exponent - 1074;"),
    M("f-fraction-mask", "fixed", FIXED, "bits & ((std::uint64_t{1} << 52) - 1)", "bits & ((std::uint64_t{1} << 51) - 1)"),
    M("f-range", "fixed", FIXED, "if (exponent > 11) return nullptr;", "if (exponent > 60) return nullptr;"),
    M("f-range-12", "fixed", FIXED, "if (exponent > 11) return nullptr;", "if (exponent > 12) return nullptr;",
      equivalent="below 2^65 the scaled value still fits 128 bits, and a whole part of 2^64 or more is declined "
                 "by the wide division's own check"),
    M("f-underflow", "fixed", FIXED, "if (shift >= 75) {", "if (shift >= 70) {"),
    M("f-half", "fixed", FIXED, "<< (shift - 1);", "<< shift;"),
    M("f-tie-odd", "fixed", FIXED, "(rest == half && (micros & 1) != 0)", "(rest == half && (micros & 1) == 0)"),
    M("f-round-up-tie", "fixed", FIXED, "if (rest > half ||", "if (rest >= half ||"),
    M("f-one-digit", "fixed", FIXED, "if (whole < 10) {", "if (whole < 9) {"),
    M("f-two-digits", "fixed", FIXED, "} else if (whole < 100) {", "} else if (whole <= 100) {"),
    M("f-middle-pair", "fixed", FIXED, "write_pair(fraction / 100 % 100, out)", "write_pair(fraction / 10 % 100, out)"),
    M("f-zero-sign", "fixed", FIXED, "if (negative) *out++ = '-';", "if (negative && (whole | fraction) != 0) *out++ = '-';"),

    # SHA-256: the SHA-instruction path, its buffering and padding, and the
    # portable (libsodium) path behind the same class.
    M("h-initial", "sha256", SHA, "0x6a09e667, 0xbb67ae85", "0x6a09e668, 0xbb67ae85"),
    M("h-round-constant", "sha256", SHA, "0xc67178f2};", "0xc67178f3};"),
    M("h-schedule", "sha256", SHA, "_mm_alignr_epi8(latest, recent, 4)", "_mm_alignr_epi8(latest, recent, 8)"),
    M("h-second-rounds", "sha256", SHA, "k = _mm_shuffle_epi32(k, 0x0E);", "k = _mm_shuffle_epi32(k, 0x0F);"),
    M("h-byte-swap", "sha256", SHA, "_mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL)",
      "_mm_set_epi64x(0x0405060700010203ULL, 0x0c0d0e0f08090a0bULL)"),
    M("h-fill", "sha256", SHA, "std::min(size, kBlockBytes - block_used_)", "std::min(size, kBlockBytes - block_used_ - 1)"),
    M("h-partial", "sha256", SHA, "if (block_used_ < kBlockBytes) return;", "if (block_used_ <= kBlockBytes) return;"),
    M("h-pad-room", "sha256", SHA, "if (block_used_ > kBlockBytes - 8) {", "if (block_used_ > kBlockBytes - 7) {"),
    M("h-bit-length", "sha256", SHA, "total_bytes_ * 8;", "total_bytes_ * 8 + 8;"),
    M("h-length-order", "sha256", SHA, "block_[kBlockBytes - 1 - i]", "block_[kBlockBytes - 8 + i]"),
    M("h-no-instructions", "sha256", SHA, "return ssse3 && sse41 && sha;", "return false;",
      equivalent="every digest then comes from libsodium, which gives the same bytes"),
    M("h-portable-update", "sha256", SHA, "crypto_hash_sha256_update(&sodium_state_, data, size);",
      "crypto_hash_sha256_update(&sodium_state_, data, size - (size > 64));"),
    M("h-portable-init", "sha256", SHA, "    crypto_hash_sha256_init(&sodium_state_);\n", "\n"),

    # The manifest entry: its usual spelling read in place, its numbers.
    M("e-name-twice", "entry", ENTRY, "have_name ? nullptr : d::field_name(p, end, name_field)",
      "d::field_name(p, end, name_field)"),
    M("e-number-twice", "entry", ENTRY, "if (!is_name && !have_number) after =", "if (!is_name) after ="),
    M("e-field-prefix", "entry", ENTRY, "return p[field.size() + 1] == '\"' ? p + field.size() + 2 : nullptr;",
      "return p + field.size() + 2;"),
    M("e-open", "entry", ENTRY, "if (p == end || *p != '{') return false;", "if (p == end) return false;"),
    M("e-comma", "entry", ENTRY, "if (p == end || *p != ',') return false;", "if (p == end) return false;"),
    M("e-colon", "entry", ENTRY, "if (p == end || *p != ':') return false;", "if (p == end) return false;"),
    M("e-close", "entry", ENTRY, "if (p == end || *p != '}') return false;", "if (p == end) return false;"),
    M("e-leading-zero", "entry", ENTRY, "    if (p != end && is_digit(*p)) return nullptr;\n", "\n"),
    M("e-empty-fraction", "entry", ENTRY, "if (fraction == 0) return nullptr;", ""),
    M("e-capital-e", "entry", ENTRY, "(*p == 'e' || *p == 'E')", "*p == 'e'"),
    M("e-digit-limit", "entry", ENTRY, "kUsualDigits = 19;", "kUsualDigits = 20;"),
    # Same value through the reader; caught because a test holds the usual
    # 19-digit spelling to the in-place path.
    M("e-digit-limit-eq", "entry", ENTRY, "digits + fraction > kUsualDigits", "digits + fraction >= kUsualDigits"),
    M("e-powers", "entry", ENTRY, "10000000, 100000000}", "10000000, 10000000}"),
    M("e-run-count", "entry", EIGHT, "flags == 0 ? 8 : std::countr_zero(flags) / 8", "flags == 0 ? 8 : std::countr_zero(flags) / 7"),
    M("e-run-pad", "entry", EIGHT, "(0x3030303030303030ULL >> (64 - pad))", "(0x3131313131313131ULL >> (64 - pad))"),
    M("e-run-end", "entry", ENTRY, "      if (run < 8) return p;\n", "\n",
      equivalent="after a short run the next word starts with the byte that ended it, counts no digit, and returns"),
    M("e-cursor-back", "entry", ENTRY, "        r.cur_ = start;\n        if (!read)", "        if (!read)"),

    # The manifest's name order: records, the radix passes, ties.
    M("o-short-key", "order", ORDER, "(i < rest ? bytes[i] : 0u)", "(i <= rest ? bytes[i] : 0u)"),
    M("o-byte-order", "order", ORDER, "if constexpr (std::endian::native == std::endian::little) key = __builtin_bswap64(key);",
      ""),
    M("o-digit", "order", ORDER, "(8 * (kTailDigit - 1 - digit))", "(8 * (kTailDigit - digit))"),
    M("o-tail-order", "order", ORDER, "if (ta != tb) return ta < tb;", "if (ta != tb) return ta > tb;"),
    M("o-tail-cap", "order", ORDER, "rest > kKeyBytes ? NameRecord::kNameContinues", "rest >= kKeyBytes ? NameRecord::kNameContinues",
      equivalent="a name that ends exactly after the eight bytes goes on to one more record, empty, which sorts "
                 "before every longer name and ties with every other empty one, as its tail of 8 did"),
    M("o-skip-digit", "order", ORDER, "std::countl_zero(key_differs) / 8);", "std::countl_zero(key_differs) / 8 + 1);"),
    M("o-unstable", "order", ORDER, "for (std::size_t i = 0; i < run.count; ++i) out[offsets",
      "for (std::size_t i = run.count; i-- > 0;) out[offsets"),
    M("o-next-digit", "order", ORDER, "runs.push_back({begin, count, run.depth, digit + 1});",
      "runs.push_back({begin, count, run.depth, digit + 2});"),
    M("o-shared-word", "order", ORDER, "while (same + kKeyBytes <= limit &&", "while (same + kKeyBytes <= limit + 1 &&"),
    M("o-shared-byte", "order", ORDER, "while (same < limit && first[same] == other[same]) ++same;",
      "while (same <= limit && first[same] == other[same]) ++same;"),
    M("o-tie-insertion", "order", ORDER, "for (; j > 0 && name_before(moving, records[j - 1], names, depth); --j)",
      "for (; j > 1 && name_before(moving, records[j - 1], names, depth); --j)"),

    # The seed decoder: trimming Unicode white space, where UTF-8 fails, and
    # the hexadecimal digits decoded without branching on them.
    M("d-controls", "seed", SEED, "(c >= 0x09 && c <= 0x0D)", "(c >= 0x09 && c < 0x0D)"),
    M("d-nel", "seed", SEED, "c == 0x85 ||", "c == 0x86 ||"),
    M("d-nbsp", "seed", SEED, "c == 0xA0 || ", ""),
    M("d-en-quad", "seed", SEED, "(c >= 0x2000 && c <= 0x200A)", "(c >= 0x2001 && c <= 0x200A)"),
    M("d-ideographic", "seed", SEED, "c == 0x3000;", "c == 0x3001;"),
    M("d-continuation", "seed", SEED, "& 0xC0) == 0x80", "& 0x80) == 0x80"),
    M("d-back-start", "seed", SEED, "while (start > 0 && is_continuation", "while (start > 1 && is_continuation",
      equivalent="only a text that is one multi-byte character is looked at from byte 1, and that character "
                 "is not white space (the front was trimmed first), which a continuation byte is not either"),
    M("d-utf8-step", "seed", UTF8, "    at += c.length;\n", "    at += 1;\n"),
    M("d-ascii-word", "seed", UTF8, "if ((x & 0x8080808080808080ULL) != 0) break;",
      "if ((x & 0x8080808080808000ULL) != 0) break;"),
    M("d-digit-colon", "seed", SEED_HEX, "(num - 10u) >> 8", "(num - 11u) >> 8"),
    M("d-letter-g", "seed", SEED_HEX, "(alpha - 10u) ^ (alpha - 16u)", "(alpha - 10u) ^ (alpha - 17u)"),
    M("d-letter-at", "seed", SEED_HEX, "(alpha - 10u) ^ (alpha - 16u)", "(alpha - 9u) ^ (alpha - 16u)"),
    M("d-case", "seed", SEED_HEX, "(c & ~0x20u) - 55u", "(c & ~0x00u) - 55u"),
    M("d-word-low", "seed", SEED_HEX, "kOnes * (0x80 - low)", "kOnes * (0x81 - low)"),
    M("d-word-high", "seed", SEED_HEX, "kOnes * (0x7F - high)", "kOnes * (0x80 - high)"),
    M("d-word-top-bit", "seed", SEED_HEX, "invalid |= (word & kHighs) | ", "invalid |= "),
    M("d-word-case", "seed", SEED_HEX, "ascii | (kOnes * 0x20)", "ascii | (kOnes * 0x00)"),
    M("d-word-letter-value", "seed", SEED_HEX, "(letter >> 7) * 9", "(letter >> 7) * 10"),
    M("d-word-nibbles", "seed", SEED_HEX, "((nibbles << 4) | (nibbles >> 8))", "((nibbles >> 4) | (nibbles << 8))"),
    M("d-word-pack", "seed", SEED_HEX, "(pairs | (pairs >> 8)) & 0x0000FFFF0000FFFFULL",
      "(pairs | (pairs >> 8)) & 0x0000FFFF0000FF00ULL"),
    M("d-word-count", "seed", SEED_HEX, "word < kSeedDigits / kDigitsPerWord", "word + 1 < kSeedDigits / kDigitsPerWord"),
    M("d-slow-path-only", "seed", SEED_KEY, "if (text.size() == kSeedDigits) {", "if (text.size() == 0) {"),

    # Hex digits written sixteen bytes at a time.
    M("h-letters", "hex", HEX, "_mm_set1_epi8('a' - '0' - 10)", "_mm_set1_epi8('a' - '0' - 9)"),
    M("h-above-nine", "hex", HEX, "_mm_cmpgt_epi8(values, _mm_set1_epi8(9))", "_mm_cmpgt_epi8(values, _mm_set1_epi8(10))"),
    M("h-high-first", "hex", HEX, "_mm_unpacklo_epi8(high, low)", "_mm_unpacklo_epi8(low, high)"),
    M("h-shift", "hex", HEX, "_mm_srli_epi16(x, 4)", "_mm_srli_epi16(x, 3)"),
    M("h-block", "hex", HEX, "while (end - in >= 16) {", "while (end - in >= 17) {",
      equivalent="a block of exactly sixteen bytes goes to the byte loop instead, which writes the same digits"),
]


def run(cmd: list[str], timeout: float) -> tuple[int, str]:
    try:
        done = subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              errors="replace", timeout=timeout)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired:
        return -1, "timed out"


def failed_tests(output: str) -> list[str]:
    prefix = "[  FAILED  ] "
    return sorted({line[len(prefix):].split()[0].rstrip(",") for line in output.splitlines()
                   if line.startswith(prefix) and "listed below" not in line and " ms)" in line})


# The quick first look: the sources a fast path lives in and the tests aimed
# at it, compiled alone and linked before the unchanged library of the build
# tree. A test that fails there fails because of the mutant; a mutant that
# passes there is then tried against the whole suite, built properly.
QUICK = {
    "string": (["src/json/reader.cc", "src/json/string_reader.cc"],
               ["tests/cpp/byte_scan_test.cc", "tests/cpp/json_reader_test.cc"]),
    "number": (["src/json/number_reader.cc"], ["tests/cpp/number_model_test.cc", "tests/cpp/json_reader_test.cc"]),
    "fixed": (["src/fingerprint/fixed_decimal.cc"], ["tests/cpp/fixed_decimal_test.cc"]),
    "sha256": (["src/fingerprint/sha256.cc"], ["tests/cpp/sha256_test.cc"]),
    "entry": (["src/documents/manifest.cc", "src/json/number_reader.cc"], ["tests/cpp/usual_entry_test.cc"]),
    "order": (["src/fingerprint/name_order.cc"], ["tests/cpp/name_order_test.cc"]),
    "seed": (["src/audit/seed_text.cc", "src/audit/signing_key.cc", "src/audit/seed_digits.cc", "src/json/utf8.cc"],
             ["tests/cpp/audit_signing_key_test.cc", "tests/cpp/seed_digits_test.cc"]),
    "hex": (["src/common/hex.cc"], ["tests/cpp/hex_test.cc"]),
}
QUICK_FLAGS = ["-std=c++20", "-O1", "-Isrc", "-Itools", "-DORVEX_JSON_TEST_SUITE_DIR=\"\""]


def quick_object(source: str, objects: Path, tag: str) -> tuple[Path | None, str]:
    out = objects / (source.replace("/", "_") + tag + ".o")
    if tag == "" and out.exists():
        return out, ""
    status, output = run(["nice", "-n", "10", "g++", *QUICK_FLAGS, "-c", source, "-o", str(out)], 900)
    return (out if status == 0 else None), output


def quick_look(m: Mutant | None, group: str, build: str, timeout: float) -> tuple[str, str]:
    """Caught, or "" when the quick look cannot tell. The mutant, if any, is applied."""
    users, tests = QUICK[group]
    objects = ROOT / "build" / "mutants" / group
    objects.mkdir(parents=True, exist_ok=True)
    sources = users + tests
    changed = [m is not None and (source == m.path or m.path.endswith(".h")) for source in sources]
    with ThreadPoolExecutor(2) as pool:
        built = list(pool.map(lambda sc: quick_object(sc[0], objects, ".mutant" if sc[1] else ""),
                              zip(sources, changed)))
    files = []
    for (obj, output), was_changed in zip(built, changed):
        if obj is None:
            return ("does not compile", output.strip().splitlines()[-1]) if was_changed else ("", "")
        files.append(str(obj))
    binary = objects / "tests"
    status, _ = run(["nice", "-n", "10", "g++", "-o", str(binary), *files, str(Path(build) / "liborvex_engine.a"),
                     "-lgtest", "-lgtest_main", "-lsodium", "-pthread"], 900)
    if status != 0:
        return "", ""
    status, output = run([str(binary), "--gtest_brief=1"], timeout)
    if status == 0:
        return "", ""
    tests = failed_tests(output)
    return "caught", ", ".join(tests[:4]) + (" ..." if len(tests) > 4 else "") if tests else output[-200:]


def try_mutant(m: Mutant, build: str, target: str, binary: str, timeout: float, quick: bool) -> tuple[str, str]:
    path = ROOT / m.path
    original = path.read_text()
    original_time = path.stat().st_mtime_ns
    full_build = False
    if original.count(m.old) != 1:
        return "BAD ENTRY", f"text found {original.count(m.old)} times in {m.path}"
    path.write_text(original.replace(m.old, m.new))
    try:
        if quick:
            verdict, detail = quick_look(m, m.group, build, timeout)
            if verdict:
                return verdict + " (quick)", detail
        full_build = True
        status, output = run(["nice", "-n", "10", "cmake", "--build", build, "--target", target, "-j2"], 1800)
        if status != 0:
            return "does not compile", output.strip().splitlines()[-1] if output.strip() else ""
        status, output = run([str(Path(build) / binary), "--gtest_brief=1"], timeout)
        if status == 0:
            return "SURVIVED", ""
        tests = failed_tests(output)
        return "caught", ", ".join(tests[:4]) + (" ..." if len(tests) > 4 else "") if tests else output[-200:]
    finally:
        path.write_text(original)
        # Unless the build tree saw the mutant, it need not build this file again.
        if not full_build:
            os.utime(path, ns=(original_time, original_time))


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/cpp", help="CMake build tree with the tests enabled")
    parser.add_argument("--target", default="orvex_cpp_tests", help="the C++ test target")
    parser.add_argument("--group", action="append", help="only this fast path (string, number, fixed, sha256, "
                                                         "entry, order, seed, hex); may repeat")
    parser.add_argument("--only", nargs="+", help="only these mutants")
    parser.add_argument("--timeout", type=float, default=600, help="seconds for one run of the tests")
    parser.add_argument("--no-quick", action="store_true",
                        help="skip the quick first look: every mutant against the whole suite")
    parser.add_argument("--list", action="store_true", help="list the mutants and exit")
    args = parser.parse_args()

    chosen = [m for m in MUTANTS
              if (not args.group or m.group in args.group) and (not args.only or m.name in args.only)]
    if args.list:
        for m in chosen:
            print(f"{m.name:20} {m.group:7} {m.path}: {m.old!r} -> {m.new!r}"
                  + (f"  [equivalent: {m.equivalent}]" if m.equivalent else ""))
        return 0

    quick = not args.no_quick
    if quick:
        # Objects of unchanged sources are kept only within one run.
        shutil.rmtree(ROOT / "build" / "mutants", ignore_errors=True)
        # The quick look is trusted only where it passes without a mutant.
        for group in sorted({m.group for m in chosen}):
            verdict, detail = quick_look(None, group, args.build, args.timeout)
            if verdict:
                print(f"the quick look at {group} fails without a mutant: {detail}", file=sys.stderr)
                return 2
    totals: dict[str, list[int]] = {}
    unexpected = 0
    for m in chosen:
        started = time.monotonic()
        verdict, detail = try_mutant(m, args.build, args.target, args.target, args.timeout, quick)
        seconds = time.monotonic() - started
        if m.equivalent:
            verdict += " (equivalent)"
        else:
            t = totals.setdefault(m.group, [0, 0])
            t[0] += 1
            t[1] += verdict.startswith("caught")
        if (verdict == "SURVIVED") or verdict.startswith(("BAD", "does not")):
            unexpected += 1
        print(f"{m.name:20} {verdict:24} {seconds:5.0f}s  {detail}", flush=True)
    # The build tree is left built from the unchanged sources.
    run(["nice", "-n", "10", "cmake", "--build", args.build, "--target", args.target, "-j2"], 1800)
    for group, (tried, caught) in totals.items():
        print(f"{group:8} {caught}/{tried} caught (equivalent mutants not counted)")
    return 1 if unexpected else 0


if __name__ == "__main__":
    sys.exit(main())
