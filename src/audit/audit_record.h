// One signed audit record per decision, appended to "orvex_audit.log".
#pragma once

#include "common/result.h"
#include "common/verdict.h"
#include "documents/intent_action_state.h"

namespace orvex::audit {

// Loads the signing key, builds the signed text and the record, signs, and
// appends one line to "orvex_audit.log" in the working directory. Fails only
// when the key cannot be made (an abort); a log file that cannot be opened
// or written loses the record, says so in one line on standard error, and
// the call goes on.
Result<Unit> append_audit_record(const documents::Intent& intent, const documents::ProposedAction& action,
                                 const Verdict& verdict);

}  // namespace orvex::audit
