#include "orvex_audit/seal_file_lines.h"

#include <string>

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
  seal = line.has_line_feed ? read_seal_line(line.text) : Failure::ordinary(std::string(seal_messages::kTorn));
  return Status::kLine;
}

}  // namespace orvex::audit_tool
