// The seal-line reader on hostile bytes: it never crashes, it accepts only
// lines that the writer writes byte for byte, and every refusal is one of
// its reasons. Inputs that start with a byte below 0x20 instead build a seal
// (first-format or chain) from the remaining bytes and require the reader to
// take the written line back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "orvex_audit/seal_line.h"
#include "properties.h"

namespace orvex::fuzz {
namespace {

using audit_tool::Seal;

constexpr std::string_view kReasonStem = "not a seal: ";

// Takes `count` bytes from the front of `rest`, fewer at its end.
std::string_view take(std::string_view& rest, std::size_t count) {
  const std::string_view taken = rest.substr(0, count);
  rest.remove_prefix(taken.size());
  return taken;
}

std::uint64_t take_number(std::string_view& rest) {
  std::uint64_t value = 0;
  const std::string_view bytes = take(rest, 8);
  std::memcpy(&value, bytes.data(), bytes.size());
  return value >> 1;  // below 2^63
}

template <std::size_t N>
void take_bytes(std::string_view& rest, std::array<std::uint8_t, N>& out) {
  const std::string_view bytes = take(rest, N);
  out.fill(0);
  std::memcpy(out.data(), bytes.data(), bytes.size());
}

void check_written_seal(std::string_view input) {
  std::string_view rest = input;
  Seal seal;
  const std::string_view length = take(rest, 1);
  seal.file = std::string(take(rest, length.empty() ? 0 : static_cast<unsigned char>(length[0]) % 40));
  if (!audit_tool::is_sealable_name(seal.file)) seal.file = "orvex_audit.log";
  seal.bytes = take_number(rest);
  seal.lines = take_number(rest);
  take_bytes(rest, seal.sha256);
  const std::string timestamp(take(rest, 12));
  if (audit_tool::is_timestamp_text(timestamp)) seal.first = timestamp;
  seal.sealed_at = audit_tool::is_timestamp_text(timestamp) ? timestamp : "2026-01-01T00:00:00+00:00";
  if (!rest.empty() && rest[0] & 1) {
    audit::Signature previous;
    take_bytes(rest, previous);
    seal.previous = previous;
  }
  take_bytes(rest, seal.public_key);
  take_bytes(rest, seal.signature);
  // An odd byte after these makes a chain seal of the same values.
  if (!rest.empty() && rest[0] & 1) {
    rest.remove_prefix(1);
    seal.format = audit_tool::kChainSealFormat;
    const std::string_view chain_length = take(rest, 1);
    seal.chain = std::string(take(rest, chain_length.empty() ? 0 : static_cast<unsigned char>(chain_length[0]) % 70));
    if (!audit_tool::is_chain_name(seal.chain)) seal.chain = "web-1";
    seal.sequence = take_number(rest);
    take_bytes(rest, seal.next_key);
  }

  const std::string line = audit_tool::seal_line_text(seal);
  const Result<Seal> read = audit_tool::read_seal_line(line);
  ORVEX_FUZZ_REQUIRE(read.ok(), line, read.ok() ? "" : read.failure().message);
  ORVEX_FUZZ_REQUIRE(audit_tool::seal_line_text(read.value()) == line, line, "read back differently");
  ORVEX_FUZZ_REQUIRE(audit_tool::seal_signed_text(read.value()) == audit_tool::seal_signed_text(seal), line,
                     "signed text differs after reading");
}

}  // namespace
}  // namespace orvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = orvex::fuzz;
  const std::string_view input = f::as_text(data, size);
  if (!input.empty() && static_cast<unsigned char>(input[0]) < 0x20) {
    f::check_written_seal(input.substr(1));
    return 0;
  }
  const orvex::Result<orvex::audit_tool::Seal> read = orvex::audit_tool::read_seal_line(input);
  if (read.ok()) {
    ORVEX_FUZZ_REQUIRE(orvex::audit_tool::seal_line_text(read.value()) == input, input, "accepted a spelling the writer never writes");
    ORVEX_FUZZ_REQUIRE(input.size() <= orvex::audit_tool::kMaxSealLineBytes, input, "accepted a long line");
  } else {
    ORVEX_FUZZ_REQUIRE(read.failure().message.rfind(f::kReasonStem, 0) == 0, input, read.failure().message);
  }
  return 0;
}
