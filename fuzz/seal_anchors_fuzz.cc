// The anchors file on hostile bytes, read from a memory file: it never
// crashes, and it pins exactly the anchors that a plain model of the file
// (lines of NAME=HEX, blank lines and '#' comments skipped, at least one
// anchor, one anchor per chain) finds, or refuses the file with a reason
// that names it.
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "orvex_audit/seal_anchors.h"
#include "properties.h"

namespace orvex::fuzz {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool model_name(std::string_view name) {
  if (name.empty() || name.size() > 64 || name[0] == '-') return false;
  for (const char c : name) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-')) return false;
  }
  return true;
}

// The anchors, as NAME to lowercase HEX, or nothing for a refused file.
std::optional<std::map<std::string, std::string>> model(std::string_view text) {
  std::map<std::string, std::string> anchors;
  while (!text.empty()) {
    const std::size_t feed = text.find('\n');
    std::string_view line = trim(text.substr(0, feed));
    text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || line.size() > 256) return std::nullopt;
    const std::string_view name = line.substr(0, equals);
    std::string hex(line.substr(equals + 1));
    if (!model_name(name) || hex.size() != 64) return std::nullopt;
    for (char& c : hex) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto [at, added] = anchors.emplace(std::string(name), hex);
    if (!added && at->second != hex) return std::nullopt;
  }
  if (anchors.empty()) return std::nullopt;
  return anchors;
}

}  // namespace
}  // namespace orvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = orvex::fuzz;
  const std::string_view input = f::as_text(data, size);
  const int fd = ::memfd_create("seal_anchors_fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  orvex::audit_tool::SealAnchors anchors;
  const orvex::Result<orvex::Unit> read = orvex::audit_tool::add_anchors_from_file(path, anchors);
  ::close(fd);
  const auto expected = f::model(input);
  ORVEX_FUZZ_REQUIRE(read.ok() == expected.has_value(), input, read.ok() ? "accepted" : read.failure().message);
  if (!read.ok()) {
    ORVEX_FUZZ_REQUIRE(read.failure().message.rfind("--anchors " + path, 0) == 0, input, read.failure().message);
    return 0;
  }
  std::map<std::string, std::string> pinned;
  for (const auto& [name, key] : anchors) {
    std::string hex;
    for (const std::uint8_t byte : key) {
      static constexpr char kDigits[] = "0123456789abcdef";
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 15];
    }
    pinned.emplace(name, hex);
  }
  ORVEX_FUZZ_REQUIRE(pinned == *expected, input, "pinned other anchors than the file lists");
  return 0;
}
