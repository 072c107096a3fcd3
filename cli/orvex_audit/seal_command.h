// `orvex-audit seal --seals SEALFILE LOGFILE...`: appends one signed seal
// line per log file to the seal file, each chained to the line before it.
#pragma once

#include <cstdio>

#include "orvex_audit/command_line.h"

namespace orvex::audit_tool {

// With --key-file, signs chain seals with the key file's evolving key (see
// seal_with_key_file); with --records-key, first-format seals with the key
// from ORVEX_SEED. A key that cannot be loaded exits with kExitTrouble
// before any file is touched. Opens SEALFILE for appending
// (created 0644 when absent, never truncated), locks it against other
// sealers, and finds the signature of its last line; a seal file whose last
// line is not a seal gets nothing appended. Then each LOGFILE in turn is read
// (gzip decompressed) and its seal appended in one write. Errors go to `err`;
// a LOGFILE that cannot be read is skipped and the rest are sealed. Returns
// kExitAllValid when every LOGFILE was sealed, else kExitTrouble.
int run_seal(const Options& options, std::FILE* err);

// `orvex-audit seal-init --key-file KEYFILE [--chain NAME]`: makes a new
// chain's first key, stores it in KEYFILE (mode 0600, never overwriting a
// file) and prints the chain's anchor, NAME=HEX, to `out`. The chain is
// named after the host unless --chain names it.
int run_seal_init(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace orvex::audit_tool
