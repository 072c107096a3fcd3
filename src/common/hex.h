// Lowercase hexadecimal text of bytes: two digits per byte, bytes in order,
// the high four bits first, digits 0-9 and a-f. Used for the audit record's
// key and signature and for the logic fingerprint.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orvex {

void append_lowercase_hex(std::span<const std::uint8_t> bytes, std::string& out);
std::string lowercase_hex(std::span<const std::uint8_t> bytes);

}  // namespace orvex
