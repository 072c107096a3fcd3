#include "module/lossy_utf8.h"

#include <cstddef>

namespace orvex::module {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at `at`, or 0 when the bytes
// there are ill-formed. `*subpart` receives the length of the longest valid
// prefix (at least 1), which one replacement character stands for.
std::size_t sequence_length(std::string_view s, std::size_t at, std::size_t* subpart) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(at);
  *subpart = 1;
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // excludes the surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= s.size()) return 0;
    const unsigned char b = byte(at + i);
    const bool fits = i == 1 ? (b >= low && b <= high) : (b >= 0x80 && b <= 0xBF);
    if (!fits) return 0;
    *subpart = i + 1;
  }
  return length;
}

}  // namespace

std::string replace_invalid_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t subpart = 1;
    const std::size_t length = sequence_length(bytes, at, &subpart);
    if (length != 0) {
      out.append(bytes.substr(at, length));
      at += length;
    } else {
      out.append(kReplacement);
      at += subpart;
    }
  }
  return out;
}

}  // namespace orvex::module
