#include "audit/seed_text.h"

#include <cstdint>

#include "json/quoted_text.h"

namespace orvex::audit {

namespace {

// One decoded character; length 0 means no valid sequence starts here.
struct Decoded {
  char32_t code_point = 0;
  std::size_t length = 0;
};

bool in_range(std::uint8_t byte, std::uint8_t low, std::uint8_t high) { return byte >= low && byte <= high; }

// Decodes the sequence starting at `at`. The second byte's range depends on
// the lead byte; that is what rules out overlong forms, surrogates and
// values above U+10FFFF.
Decoded decode_at(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return Decoded{lead, 1};

  std::size_t length = 0;
  std::uint8_t second_low = 0x80;
  std::uint8_t second_high = 0xBF;
  char32_t code_point = 0;
  if (in_range(lead, 0xC2, 0xDF)) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (in_range(lead, 0xE0, 0xEF)) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (in_range(lead, 0xF0, 0xF4)) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return Decoded{};
  }
  if (text.size() - at < length) return Decoded{};
  if (!in_range(byte(1), second_low, second_high)) return Decoded{};
  code_point = (code_point << 6) | (byte(1) & 0x3F);
  for (std::size_t i = 2; i < length; ++i) {
    if (!in_range(byte(i), 0x80, 0xBF)) return Decoded{};
    code_point = (code_point << 6) | (byte(i) & 0x3F);
  }
  return Decoded{code_point, length};
}

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

bool is_valid_utf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const Decoded decoded = decode_at(bytes, at);
    if (decoded.length == 0) return false;
    at += decoded.length;
  }
  return true;
}

std::string_view trim_white_space(std::string_view utf8) {
  while (!utf8.empty()) {
    const Decoded first = decode_at(utf8, 0);
    if (!is_white_space(first.code_point)) break;
    utf8.remove_prefix(first.length);
  }
  while (!utf8.empty()) {
    std::size_t start = utf8.size() - 1;
    while (start > 0 && is_continuation(utf8[start])) --start;
    const Decoded last = decode_at(utf8, start);
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
    const Decoded decoded = decode_at(bytes, at);
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
