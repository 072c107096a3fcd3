#!/usr/bin/env python3
"""Writes src/json/unicode_table.cc from the Unicode Character Database.

The quoted text of a string escapes every character that has the property
Grapheme_Extend or is not printable. Both answers come from two sorted
tables of inclusive code point ranges that this script derives from
UnicodeData.txt (general categories) and DerivedCoreProperties.txt
(Grapheme_Extend).

Usage: tools/gen_unicode_table.py [UCD directory] [output file]
Defaults: /usr/share/unicode (Debian package unicode-data) and
src/json/unicode_table.cc beside this script's parent directory.
"""

import os
import re
import sys

# A character is printable unless its general category is one of these.
# Cn (unassigned) never appears in UnicodeData.txt: a code point missing
# from the file is unassigned and therefore not printable.
NOT_PRINTABLE_CATEGORIES = {"Cc", "Cf", "Cs", "Co", "Zl", "Zp", "Zs"}
# The ordinary space is Zs but is shown as itself.
ALWAYS_PRINTABLE = {0x20}
MAX_CODE_POINT = 0x10FFFF


def read_version(ucd_dir):
    """The Unicode version named in the first line of DerivedCoreProperties.txt."""
    with open(os.path.join(ucd_dir, "DerivedCoreProperties.txt"), encoding="utf-8") as f:
        first = f.readline()
    match = re.search(r"DerivedCoreProperties-(\d+\.\d+\.\d+)\.txt", first)
    if not match:
        sys.exit("cannot find the Unicode version in DerivedCoreProperties.txt")
    return match.group(1)


def read_categories(ucd_dir):
    """Yields (first, last, category) for every assigned code point or range."""
    pending_first = None
    with open(os.path.join(ucd_dir, "UnicodeData.txt"), encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(";")
            if len(fields) < 3:
                continue
            code_point = int(fields[0], 16)
            name, category = fields[1], fields[2]
            # Large blocks (CJK ideographs, Hangul syllables, private use,
            # surrogates...) are given as a First/Last pair of lines.
            if name.endswith(", First>"):
                pending_first = (code_point, category)
                continue
            if name.endswith(", Last>"):
                if pending_first is None or pending_first[1] != category:
                    sys.exit("unmatched range end at U+%04X" % code_point)
                yield pending_first[0], code_point, category
                pending_first = None
                continue
            yield code_point, code_point, category
    if pending_first is not None:
        sys.exit("unterminated range at U+%04X" % pending_first[0])


def printable_ranges(ucd_dir):
    printable = bytearray(MAX_CODE_POINT + 1)
    for first, last, category in read_categories(ucd_dir):
        if category not in NOT_PRINTABLE_CATEGORIES:
            printable[first:last + 1] = b"\x01" * (last - first + 1)
    for code_point in ALWAYS_PRINTABLE:
        printable[code_point] = 1
    return to_ranges(printable)


def grapheme_extend_ranges(ucd_dir):
    flags = bytearray(MAX_CODE_POINT + 1)
    pattern = re.compile(r"^([0-9A-F]+)(?:\.\.([0-9A-F]+))?\s*;\s*Grapheme_Extend\s*(#|$)")
    with open(os.path.join(ucd_dir, "DerivedCoreProperties.txt"), encoding="utf-8") as f:
        for line in f:
            match = pattern.match(line)
            if not match:
                continue
            first = int(match.group(1), 16)
            last = int(match.group(2) or match.group(1), 16)
            flags[first:last + 1] = b"\x01" * (last - first + 1)
    return to_ranges(flags)


def to_ranges(flags):
    """Merges set flags into sorted, disjoint, non-adjacent inclusive ranges."""
    ranges = []
    start = None
    for code_point, flag in enumerate(flags):
        if flag and start is None:
            start = code_point
        elif not flag and start is not None:
            ranges.append((start, code_point - 1))
            start = None
    if start is not None:
        ranges.append((start, len(flags) - 1))
    return ranges


def format_table(name, ranges):
    lines = ["constexpr CodePointRange %s[] = {" % name]
    row = []
    for first, last in ranges:
        row.append("{0x%04X, 0x%04X}," % (first, last))
        if len(row) == 4:
            lines.append("    " + " ".join(row))
            row = []
    if row:
        lines.append("    " + " ".join(row))
    lines.append("};")
    return "\n".join(lines)


TEMPLATE = """\
// GENERATED FILE: do not edit by hand. Regenerate with
//   python3 tools/gen_unicode_table.py
// from the Unicode Character Database, version {version}
// (UnicodeData.txt and DerivedCoreProperties.txt).
//
// Printable: every code point whose general category is not Cc, Cf, Cs, Co,
// Cn (unassigned), Zl, Zp or Zs, plus U+0020. {printable_count} ranges.
// Grapheme_Extend: {extend_count} ranges.
#include "json/unicode_table.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace orvex::json::unicode {{

namespace {{

// Inclusive, sorted, disjoint and non-adjacent.
{printable_table}

{extend_table}

template <std::size_t N>
bool in_ranges(const CodePointRange (&ranges)[N], char32_t code_point) {{
  // The first range whose end is not below the code point is the only one
  // that can hold it.
  const CodePointRange* it = std::lower_bound(
      std::begin(ranges), std::end(ranges), code_point,
      [](const CodePointRange& range, char32_t cp) {{ return range.last < cp; }});
  return it != std::end(ranges) && it->first <= code_point;
}}

}}  // namespace

bool is_printable(char32_t code_point) {{
  if (code_point < 0x80) return code_point >= 0x20 && code_point != 0x7F;
  return in_ranges(kPrintable, code_point);
}}

bool is_grapheme_extend(char32_t code_point) {{
  if (code_point < 0x300) return false;  // no extender below U+0300
  return in_ranges(kGraphemeExtend, code_point);
}}

}}  // namespace orvex::json::unicode
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ucd_dir = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
    output = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        here, "..", "src", "json", "unicode_table.cc")

    printable = printable_ranges(ucd_dir)
    extend = grapheme_extend_ranges(ucd_dir)
    # The fast paths in the template rely on these facts about the data.
    ascii_printable = [(0x20, 0x7E)]
    if [r for r in printable if r[0] < 0x80] != ascii_printable:
        sys.exit("ASCII printable set differs from U+0020..U+007E")
    if extend[0][0] < 0x300:
        sys.exit("a Grapheme_Extend character below U+0300")

    text = TEMPLATE.format(
        version=read_version(ucd_dir),
        printable_count=len(printable),
        extend_count=len(extend),
        printable_table=format_table("kPrintable", printable),
        extend_table=format_table("kGraphemeExtend", extend))
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


if __name__ == "__main__":
    main()
