// The gzip-transparent input on hostile bytes, read from a memory file:
// it never crashes or hangs, passes text that is not gzip through unchanged,
// and ends every compressed stream with its end or one named damage. Its
// text, cut into lines under a small line limit, matches a plain split.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "orvex_audit/input_text.h"
#include "orvex_audit/line_source.h"
#include "properties.h"

namespace {

using orvex::audit_tool::ByteSource;

// At most three bytes a read, so that lines straddle reads everywhere.
class TrickleSource final : public ByteSource {
 public:
  explicit TrickleSource(ByteSource& inner) : inner_(inner) {}
  long read(char* buffer, std::size_t capacity) override { return inner_.read(buffer, capacity < 3 ? capacity : 3); }
  int read_error() const override { return inner_.read_error(); }

 private:
  ByteSource& inner_;
};

constexpr std::size_t kLineLimit = 4;

}  // namespace

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
  bool whole = false;  // the input's text ended without damage
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
    whole = status == InputText::Status::kEnd;
  }
  if (whole && ::lseek(fd, 0, SEEK_SET) == 0) {
    using orvex::audit_tool::LineSource;
    InputText source(fd);
    TrickleSource trickle(source);
    LineSource lines(trickle, kLineLimit);
    orvex::audit_tool::Line line;
    std::size_t at = 0;  // where the line that comes next starts in `text`
    while (lines.next(line) == LineSource::Status::kLine) {
      const std::size_t feed = text.find('\n', at);
      const std::string_view expected = std::string_view(text).substr(at, feed == std::string::npos ? feed : feed - at);
      ORVEX_FUZZ_REQUIRE(line.has_line_feed == (feed != std::string::npos), input, "line feed misplaced");
      ORVEX_FUZZ_REQUIRE(expected.size() > kLineLimit ? line.length_over_limit == expected.size() && line.text.empty()
                                                      : line.length_over_limit == 0 && line.text == expected,
                         input, "a line differs from a plain split under the limit");
      at += expected.size() + 1;
    }
    ORVEX_FUZZ_REQUIRE(at >= text.size(), input, "lines were lost");
  }
  ::close(fd);
  return 0;
}
