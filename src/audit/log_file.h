// Appending one line to the audit log.
#pragma once

#include <string_view>

namespace orvex::audit {

// Opens `path` for appending (created 0644 when absent, never truncated),
// writes `line` and a line feed in one write so that concurrent appenders
// never interleave inside a line, finishes a short write with the rest,
// retries on EINTR, and closes the file. Any failure silently loses the
// line, or the rest of it: the log is best effort by contract.
void append_line(const char* path, std::string_view line);

}  // namespace orvex::audit
