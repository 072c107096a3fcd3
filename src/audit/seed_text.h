// The text handling of ORVEX_SEED before any hexadecimal is decoded: UTF-8
// validity, trimming of Unicode white space at both ends, and the quoted
// debug form of a value that is not valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace orvex::audit {

// The text without its leading and trailing White_Space characters
// (U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F, U+3000); characters inside are kept.
// REQUIRES: json::is_valid_utf8(utf8).
std::string_view trim_white_space(std::string_view utf8);

// Appends `bytes` in double quotes: each valid UTF-8 run in the notation of
// json::append_quoted_text, each byte outside a valid sequence as \xHH
// (uppercase digits).
void append_debug_quoted_bytes(std::string_view bytes, std::string& out);

}  // namespace orvex::audit
