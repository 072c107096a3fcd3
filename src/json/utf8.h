// UTF-8 encoding and strict decoding: the one table of well-formed UTF-8,
// shared by the reader, the quoted text, the seed's text handling, the
// module's repair of ill-formed text and the log verifier.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvex::json {

// One decoded character and the bytes it took; length 0 means that no
// well-formed sequence starts here.
struct Utf8Char {
  char32_t code_point = 0;
  std::size_t length = 0;
  // When length is 0: the bytes of the longest start of a well-formed
  // sequence found here (at least 1), the "maximal subpart" that one
  // U+FFFD stands for in the Unicode recommended practice.
  std::size_t maximal_subpart = 0;
};

// Decodes the sequence at text[at] by the well-formed UTF-8 table: shortest
// forms only, no surrogates, nothing above U+10FFFF, no truncation. Never
// reads past the end of `text`.
// REQUIRES: at < text.size()
Utf8Char decode_utf8(std::string_view text, std::size_t at);

// The index of the first byte that starts no well-formed sequence, or npos.
std::size_t first_invalid_utf8(std::string_view text);

inline bool is_valid_utf8(std::string_view text) { return first_invalid_utf8(text) == std::string_view::npos; }

// REQUIRES: code_point <= 0x10FFFF
void append_utf8(char32_t code_point, std::string& out);

}  // namespace orvex::json
