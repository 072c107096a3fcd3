// Appending one line to the audit log.
#pragma once

#include <string_view>

#include "common/result.h"

namespace orvex::audit {

// Opens `path` for appending (created 0644 less the umask when absent, never
// truncated) and writes `line` and a line feed in one write, so that
// concurrent appenders never interleave inside a line; finishes a short
// write with the rest, retries on EINTR, and closes the file.
//
// Never blocks on opening: a FIFO that nobody reads cannot be opened. A line
// never continues a partial last line: when a regular file does not end in
// a line feed (an earlier write stopped short), the same write starts with
// one, so every complete line stays a line of its own.
//
// Returns the system's error text when the line, or the rest of it, did not
// reach the file (it cannot be opened, a write or the close failed); what
// reached the file stays there.
[[nodiscard]] Result<Unit> append_line(const char* path, std::string_view line);

}  // namespace orvex::audit
