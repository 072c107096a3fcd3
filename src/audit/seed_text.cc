#include "audit/seed_text.h"

#include <cstdint>

#include "json/quoted_text.h"
#include "json/utf8.h"

namespace orvex::audit {

namespace {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool is_continuation(char byte) { return (static_cast<std::uint8_t>(byte) & 0xC0) == 0x80; }

void append_quoted_run(std::string_view run, std::string& out) {
  if (run.empty()) return;
  std::string quoted;
  json::append_quoted_text(run, quoted);
  out.append(quoted, 1, quoted.size() - 2);  // without its own quotes
}

void append_byte_escape(std::uint8_t byte, std::string& out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.append("\\x");
  out.push_back(kDigits[byte >> 4]);
  out.push_back(kDigits[byte & 0x0F]);
}

}  // namespace

std::string_view trim_white_space(std::string_view utf8) {
  while (!utf8.empty()) {
    const json::Utf8Char first = json::decode_utf8(utf8, 0);
    if (!is_white_space(first.code_point)) break;
    utf8.remove_prefix(first.length);
  }
  while (!utf8.empty()) {
    std::size_t start = utf8.size() - 1;
    while (start > 0 && is_continuation(utf8[start])) --start;
    const json::Utf8Char last = json::decode_utf8(utf8, start);
    if (!is_white_space(last.code_point)) break;
    utf8.remove_suffix(last.length);
  }
  return utf8;
}

void append_debug_quoted_bytes(std::string_view bytes, std::string& out) {
  out.push_back('"');
  std::size_t run_start = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const json::Utf8Char decoded = json::decode_utf8(bytes, at);
    if (decoded.length != 0) {
      at += decoded.length;
      continue;
    }
    // A byte that starts no valid sequence; the bytes after it are judged
    // afresh, so a cut-short sequence shows each of its bytes.
    append_quoted_run(bytes.substr(run_start, at - run_start), out);
    append_byte_escape(static_cast<std::uint8_t>(bytes[at]), out);
    run_start = ++at;
  }
  append_quoted_run(bytes.substr(run_start), out);
  out.push_back('"');
}

}  // namespace orvex::audit
