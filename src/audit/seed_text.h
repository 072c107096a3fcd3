// The text handling of ORVEX_SEED before any hexadecimal is decoded: UTF-8
// validity and trimming of Unicode white space at both ends.
#pragma once

#include <cstddef>
#include <string_view>

namespace orvex::audit {

// The text without its leading and trailing White_Space characters
// (U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F, U+3000); characters inside are kept.
// REQUIRES: json::is_valid_utf8(utf8).
std::string_view trim_white_space(std::string_view utf8);

// The offset of the first byte of `bytes` that starts no well-formed UTF-8
// sequence, or bytes.size() when there is none.
std::size_t first_byte_not_utf8(std::string_view bytes);

}  // namespace orvex::audit
