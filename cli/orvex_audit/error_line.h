// orvex-audit's errors on standard error: one line each, after the program's
// name, so a reader of a script's output sees which program spoke.
#pragma once

#include <cstdio>
#include <string_view>

namespace orvex::audit_tool {

// Writes "orvex-audit: <text>" and a line feed to `err` in one piece.
void report_error(std::FILE* err, std::string_view text);

}  // namespace orvex::audit_tool
