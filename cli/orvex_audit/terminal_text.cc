#include "orvex_audit/terminal_text.h"

#include "json/utf8.h"

namespace orvex::audit_tool {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char32_t kDelete = 0x7f;
constexpr char32_t kLastC1 = 0x9f;

void append_escaped(std::string_view bytes, std::string& out) {
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out.append("\\x");
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0xf]);
  }
}

bool is_plain_ascii(unsigned char byte) { return byte >= 0x20 && byte < kDelete; }

}  // namespace

std::string terminal_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    if (is_plain_ascii(static_cast<unsigned char>(text[at]))) {
      out.push_back(text[at++]);
      continue;
    }
    const json::Utf8Char decoded = json::decode_utf8(text, at);
    if (decoded.length == 0) {
      append_escaped(text.substr(at, 1), out);
      ++at;
      continue;
    }
    const std::string_view sequence = text.substr(at, decoded.length);
    if (decoded.code_point < 0x20 || (decoded.code_point >= kDelete && decoded.code_point <= kLastC1)) {
      append_escaped(sequence, out);
    } else {
      out.append(sequence);
    }
    at += decoded.length;
  }
  return out;
}

}  // namespace orvex::audit_tool
