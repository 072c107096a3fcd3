// Hexadecimal text of bytes, both ways: two digits per byte, bytes in
// order, the high four bits first. Written in lowercase (0-9, a-f) for the
// audit record's key and signature, the seals, the logic fingerprint and a
// string's \u00xx escapes; read back by the log verifier.
//
// The audit seed's digits are decoded elsewhere, on purpose: they are
// secret, and their decoder must not branch on them as this one does.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvex {

void append_lowercase_hex(std::span<const std::uint8_t> bytes, std::string& out);
// Writes the 2 * bytes.size() digits at `out` and returns their end.
char* write_lowercase_hex(std::span<const std::uint8_t> bytes, char* out);
std::string lowercase_hex(std::span<const std::uint8_t> bytes);

// Which digits decode_hex takes: lowercase only (as this system writes
// them) or either case (as an operator may paste a key).
enum class HexCase { LowerOnly, Either };

// Fills `out` from exactly 2 * out.size() digits. Returns false, with `out`
// unspecified, for any other length or any byte that is not a digit of the
// accepted case.
bool decode_hex(std::string_view text, HexCase accepted, std::span<std::uint8_t> out);

}  // namespace orvex
