// `orvex-audit pubkey`: the public key that ORVEX_SEED gives, for pinning.
#pragma once

#include <cstdio>

namespace orvex::audit_tool {

// Loads the key exactly as the guard does for each record and writes its
// 64 lowercase hex digits and a line feed to `out`. A missing or malformed
// seed writes the guard's own failure text to `err` and returns kExitTrouble.
int run_pubkey(std::FILE* out, std::FILE* err);

}  // namespace orvex::audit_tool
