// Repair of byte strings that are meant to be UTF-8 but may not be.
#pragma once

#include <string>
#include <string_view>

namespace orvex::module {

// Returns `bytes` with every ill-formed sequence replaced by U+FFFD, one
// replacement per maximal subpart (the Unicode recommended practice, which
// Python's "replace" error handler follows too). An encoded surrogate such
// as ED A0 80 therefore becomes three replacement characters.
std::string replace_invalid_utf8(std::string_view bytes);

}  // namespace orvex::module
