#include "audit/audit_record.h"

#include "audit/log_file.h"
#include "audit/lost_record.h"
#include "audit/record_text.h"
#include "audit/signing_key.h"
#include "audit/timestamp.h"

namespace orvex::audit {

Result<Unit> append_audit_record(const documents::Intent& intent, const documents::ProposedAction& action,
                                 const Verdict& verdict) {
  // The key comes first: without it nothing of the record is made and the
  // log file is not touched.
  Result<AuditKeyPair> key = load_signing_key();
  if (!key.ok()) return std::move(key).failure();
  const AuditKeyPair& pair = key.value();

  RecordText text(intent, action, verdict, now_rfc3339().view());
  const Signature signature = pair.sign(text.signed_text());
  const Result<Unit> appended = append_line(kLogFileName, text.line(pair.public_key(), signature));
  // The decision stands whatever became of its record; the loss is told on
  // standard error rather than handed back, because the call's outcome must
  // not change with the state of the log.
  if (!appended.ok()) report_lost_record(kLogFileName, appended.failure().message);
  return Unit{};
}

}  // namespace orvex::audit
