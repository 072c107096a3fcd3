// `orvex-audit verify`: checks every line of every input and reports.
#pragma once

#include <cstdio>

#include "orvex_audit/command_line.h"

namespace orvex::audit_tool {

// Reads the inputs in turn, line by line. Writes one report per bad line
// ("FILE:LINE: reason"), then the summary and, without a pinned key, the
// keys that signed valid records, to `out`; input errors go to `err` and
// the next input is still read. Returns kExitAllValid when every line of
// every input is a valid record (an empty log included), kExitSomeInvalid
// when any is not, kExitTrouble when an input could not be opened or read
// or `out` could not be written.
int run_verify(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace orvex::audit_tool
