// The anchors an operator pins: each chain's first public key, printed by
// `seal-init` and kept off the host. Given with --anchor NAME=HEX or listed
// in a file with --anchors (one NAME=HEX per line).
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "audit/signing_key.h"
#include "common/result.h"

namespace orvex::audit_tool {

using SealAnchors = std::map<std::string, audit::PublicKey, std::less<>>;

// Adds one anchor as written: NAME=HEX, HEX 64 hexadecimal digits of either
// case. The same anchor given twice counts once; a chain given two anchors
// is refused. The failure is the usage error.
Result<Unit> add_anchor(std::string_view text, SealAnchors& anchors);

// Adds the anchors listed in the file at `path`: one per line, surrounding
// blanks ignored; a line that is blank or starts with '#' holds none. A file
// that holds no anchor is refused, so that a file emptied by mistake never
// means "nothing pinned". The failure names the file and, for a malformed
// line, its number.
Result<Unit> add_anchors_from_file(const std::string& path, SealAnchors& anchors);

}  // namespace orvex::audit_tool
