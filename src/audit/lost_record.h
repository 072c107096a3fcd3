// The report of a record that did not reach the audit log.
#pragma once

#include <string_view>

namespace orvex::audit {

// Writes one line naming the log and the reason to standard error (file
// descriptor 2), in one write so that lines from several threads or
// processes sharing the stream stay whole. The decision that the record
// belonged to is returned as usual; this line is the only trace of the loss.
// A failure to write the line itself is ignored: there is nowhere left to
// say so.
void report_lost_record(std::string_view log_name, std::string_view reason);

}  // namespace orvex::audit
