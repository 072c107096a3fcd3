// The gzip-transparent input on hostile bytes, read from a memory file:
// it never crashes or hangs, passes text that is not gzip through unchanged,
// and ends every compressed stream with its end or one named damage.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "orvex_audit/input_text.h"
#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = orvex::fuzz;
  using orvex::audit_tool::InputText;
  const std::string_view input = f::as_text(data, size);
  const int fd = ::memfd_create("gzip_input_fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (::write(fd, data, size) != static_cast<ssize_t>(size) || ::lseek(fd, 0, SEEK_SET) != 0) {
    ::close(fd);
    return 0;
  }
  std::string text;
  {
    InputText source(fd);
    // A small buffer, so that every path through the refills is taken.
    std::array<char, 7> buffer;
    InputText::Status status;
    for (;;) {
      std::size_t got = 0;
      status = source.read(buffer, got);
      if (status != InputText::Status::kData) break;
      ORVEX_FUZZ_REQUIRE(got > 0 && got <= buffer.size(), input, "a read handed out nothing");
      text.append(buffer.data(), got);
      // A tiny input cannot stand for more than zlib's largest expansion.
      ORVEX_FUZZ_REQUIRE(text.size() <= 1032 * size + 64, input, "more text than the input can hold");
    }
    ORVEX_FUZZ_REQUIRE(status != InputText::Status::kReadError, input, "a memory file failed to read");
    if (!source.compressed()) {
      ORVEX_FUZZ_REQUIRE(status == InputText::Status::kEnd && text == input, input, "plain text changed");
    } else {
      ORVEX_FUZZ_REQUIRE(status == InputText::Status::kEnd || !source.damage().empty(), input, "damage unnamed");
    }
    std::size_t got = 0;
    ORVEX_FUZZ_REQUIRE(source.read(buffer, got) == status && got == 0, input, "the end did not repeat");
  }
  ::close(fd);
  return 0;
}
