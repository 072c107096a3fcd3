#include "common/hex.h"

namespace orvex {

namespace {
constexpr char kDigits[] = "0123456789abcdef";
}  // namespace

void append_lowercase_hex(std::span<const std::uint8_t> bytes, std::string& out) {
  out.reserve(out.size() + 2 * bytes.size());
  for (std::uint8_t byte : bytes) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0x0F]);
  }
}

std::string lowercase_hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  append_lowercase_hex(bytes, out);
  return out;
}

}  // namespace orvex
