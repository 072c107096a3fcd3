#include "orvex_audit/seal_file_lines.h"

#include <string>

#include "common/fill_message.h"
#include "orvex_audit/seal_texts.h"

namespace orvex::audit_tool {

SealFileLines::Status SealFileLines::next(Result<Seal>& seal) {
  Line line;
  switch (lines_.next(line)) {
    case LineSource::Status::kEnd: return Status::kEnd;
    case LineSource::Status::kReadError: return Status::kReadError;
    case LineSource::Status::kLine: break;
  }
  ++number_;
  // A torn last line may be a seal cut short by a failed write: it is no
  // evidence either way, and nothing may be chained onto it.
  if (line.length_over_limit != 0) {
    // Passed over unread: a seal file's line costs no more memory than a seal.
    seal = Failure::ordinary(fill_message(seal_messages::kTooLong, {std::to_string(kMaxSealLineBytes)}));
  } else {
    seal = line.has_line_feed ? read_seal_line(line.text) : Failure::ordinary(std::string(seal_messages::kTorn));
  }
  return Status::kLine;
}

}  // namespace orvex::audit_tool
