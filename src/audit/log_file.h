// Appending one line to the audit log.
#pragma once

#include <string_view>

#include "common/result.h"

namespace orvex::audit {

// The audit log's name, resolved against the working directory at the time
// of each record.
inline constexpr const char* kLogFileName = "orvex_audit.log";

// Opens `path` for appending (created 0644 less the umask when absent, never
// truncated) and writes `line`, which ends in its line feed, in one write,
// so that concurrent appenders never interleave inside a line; finishes a
// short write with the rest, retries on EINTR, and closes the file. The
// caller brings the line feed so that the line goes out as it was built,
// without a copy.
//
// Never blocks on opening: a FIFO that nobody reads cannot be opened. A line
// is never lost to a partial last line: when the line landed after one (an
// earlier write stopped short), the torn line ends there and the line is
// written once more on a line of its own, so it still reads whole.
//
// Returns the system's error text when the line, or the rest of it, did not
// reach the file (it cannot be opened, a write or the close failed); what
// reached the file stays there.
// REQUIRES: line ends in '\n'.
[[nodiscard]] Result<Unit> append_line(const char* path, std::string_view line);

}  // namespace orvex::audit
