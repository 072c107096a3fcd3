#include "orvex_audit/seal_anchors.h"

#include <cstring>

#include "common/fill_message.h"
#include "common/hex.h"
#include "orvex_audit/byte_source.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/read_only_file.h"
#include "orvex_audit/seal_line.h"
#include "orvex_audit/seal_texts.h"

namespace orvex::audit_tool {

namespace {

namespace sm = seal_messages;

// A line of an anchors file is short; a longer one is not an anchor, and
// stopping there keeps a hostile file from costing memory.
constexpr std::size_t kMaxAnchorLineBytes = 256;

// The reason `text` is no anchor, or nothing with the anchor added.
std::optional<std::string_view> take_anchor(std::string_view text, SealAnchors& anchors) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return sm::kAnchorNoEquals;
  const std::string_view name = text.substr(0, equals);
  if (!is_chain_name(name)) return sm::kAnchorBadName;
  audit::PublicKey key;
  if (!decode_hex(text.substr(equals + 1), HexCase::Either, key)) return sm::kAnchorBadKey;
  const auto [at, added] = anchors.emplace(std::string(name), key);
  if (!added && at->second != key) return sm::kAnchorTwice;
  return std::nullopt;
}

}  // namespace

Result<Unit> add_anchor(std::string_view text, SealAnchors& anchors) {
  if (const auto reason = take_anchor(text, anchors)) {
    return Failure::ordinary(fill_message(sm::kBadAnchor, {*reason, text.substr(0, kMaxAnchorLineBytes)}));
  }
  return Unit{};
}

Result<Unit> add_anchors_from_file(const std::string& path, SealAnchors& anchors) {
  const ReadOnlyFile file(path);
  if (file.fd() < 0) {
    return Failure::ordinary(fill_message(sm::kAnchorsFileError, {path, file.error()}));
  }
  DescriptorSource bytes(file.fd());
  // A longer line is no anchor: it is passed over unkept and refused below.
  LineSource lines(bytes, kMaxAnchorLineBytes);
  Line line;
  std::size_t number = 0;
  bool any = false;
  for (;;) {
    switch (lines.next(line)) {
      case LineSource::Status::kEnd:
        if (!any) return Failure::ordinary(fill_message(sm::kAnchorsFileEmpty, {path}));
        return Unit{};
      case LineSource::Status::kReadError:
        return Failure::ordinary(fill_message(sm::kAnchorsFileError, {path, std::strerror(lines.read_error())}));
      case LineSource::Status::kLine: break;
    }
    ++number;
    if (line.length_over_limit != 0) {
      return Failure::ordinary(fill_message(sm::kBadAnchorsLine, {path, std::to_string(number), sm::kAnchorTooLong}));
    }
    const std::string_view text = listing_entry(line.text);
    if (text.empty()) continue;
    if (const auto reason = take_anchor(text, anchors)) {
      return Failure::ordinary(fill_message(sm::kBadAnchorsLine, {path, std::to_string(number), *reason}));
    }
    any = true;
  }
}

}  // namespace orvex::audit_tool
