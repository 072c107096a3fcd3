// UTF-8 encoding and strict decoding, shared by the reader, the quoted text
// and the seed's text handling.
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
};

// Decodes the sequence at text[at] by the well-formed UTF-8 table: shortest
// forms only, no surrogates, nothing above U+10FFFF, no truncation. Never
// reads past the end of `text`.
// REQUIRES: at < text.size()
Utf8Char decode_utf8(std::string_view text, std::size_t at);

bool is_valid_utf8(std::string_view text);

// REQUIRES: code_point <= 0x10FFFF
void append_utf8(char32_t code_point, std::string& out);

}  // namespace orvex::json
