// Hexadecimal text back to bytes, for the two texts the tool reads: the
// record's key and signature (lowercase only, as the log writes them) and a
// key pinned on the command line (either case, as an operator may paste it).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace orvex::audit_tool {

enum class HexCase { LowerOnly, Either };

// Fills `out` from exactly 2 * out.size() digits. Returns false, with `out`
// unspecified, for any other length or any byte that is not a digit of the
// accepted case.
bool decode_hex(std::string_view text, HexCase accepted, std::span<std::uint8_t> out);

}  // namespace orvex::audit_tool
