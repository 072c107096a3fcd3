// Two character properties from the Unicode Character Database that decide
// how the quoted text shows a character. The tables behind them are
// generated (see tools/gen_unicode_table.py); the database version decides
// only how rare or newly assigned characters are shown.
#pragma once

namespace orvex::json::unicode {

// An inclusive range of code points.
struct CodePointRange {
  char32_t first;
  char32_t last;
};

// False for general categories Cc, Cf, Cs, Co, Cn (unassigned, including
// every value above U+10FFFF), Zl, Zp and Zs; true otherwise, and for U+0020.
bool is_printable(char32_t code_point);

// True for characters with the property Grapheme_Extend (combining marks
// and the like); false above U+10FFFF.
bool is_grapheme_extend(char32_t code_point);

}  // namespace orvex::json::unicode
