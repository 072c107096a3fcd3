// The signing key for the commands that need ORVEX_SEED (pubkey, seal),
// loaded exactly as the guard loads it for each record.
#pragma once

#include <cstdio>
#include <optional>

#include "audit/signing_key.h"

namespace orvex::audit_tool {

// The key pair, or nullopt after writing the guard's own failure text, after
// the program prefix, to `err`; the caller then exits with kExitTrouble.
std::optional<audit::AuditKeyPair> load_key_or_report(std::FILE* err);

}  // namespace orvex::audit_tool
