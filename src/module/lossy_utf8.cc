#include "module/lossy_utf8.h"

#include <cstddef>

#include "json/utf8.h"

namespace orvex::module {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string replace_invalid_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const json::Utf8Char decoded = json::decode_utf8(bytes, at);
    if (decoded.length != 0) {
      out.append(bytes.substr(at, decoded.length));
      at += decoded.length;
    } else {
      out.append(kReplacement);
      at += decoded.maximal_subpart;
    }
  }
  return out;
}

}  // namespace orvex::module
