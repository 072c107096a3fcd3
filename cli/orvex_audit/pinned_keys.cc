#include "orvex_audit/pinned_keys.h"

#include <algorithm>
#include <cstring>

#include "common/fill_message.h"
#include "common/hex.h"
#include "orvex_audit/byte_source.h"
#include "orvex_audit/line_source.h"
#include "orvex_audit/read_only_file.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

}  // namespace

void PinnedKeys::add(const audit::PublicKey& key) {
  const auto at = std::lower_bound(keys_.begin(), keys_.end(), key);
  if (at == keys_.end() || *at != key) keys_.insert(at, key);
}

bool PinnedKeys::contains(const audit::PublicKey& key) const {
  return std::binary_search(keys_.begin(), keys_.end(), key);
}

Result<audit::PublicKey> parse_pinned_key(std::string_view hex) {
  audit::PublicKey key;
  if (!decode_hex(hex, HexCase::Either, key)) return Failure::ordinary(fill_message(m::kBadPinnedKey, {hex}));
  return key;
}

Result<Unit> add_keys_from_file(const std::string& path, PinnedKeys& keys) {
  const ReadOnlyFile file(path);
  if (file.fd() < 0) {
    return Failure::ordinary(fill_message(m::kKeysFileError, {path, file.error()}));
  }
  DescriptorSource bytes(file.fd());
  LineSource lines(bytes, kDefaultMaxLineBytes);
  Line line;
  std::size_t number = 0;
  std::size_t listed = 0;
  for (;;) {
    switch (lines.next(line)) {
      case LineSource::Status::kEnd:
        // A file emptied of its keys (say, the last one retired) must not
        // turn into "nothing pinned", under which any key passes.
        if (listed == 0) return Failure::ordinary(fill_message(m::kKeysFileWithoutKey, {path}));
        return Unit{};
      case LineSource::Status::kReadError:
        return Failure::ordinary(fill_message(m::kKeysFileError, {path, std::strerror(lines.read_error())}));
      case LineSource::Status::kLine: break;
    }
    ++number;
    if (line.length_over_limit != 0) {
      return Failure::ordinary(fill_message(m::kKeysLineTooLong, {path, std::to_string(number),
                                                                  std::to_string(line.length_over_limit),
                                                                  std::to_string(lines.max_line_bytes())}));
    }
    const std::string_view text = listing_entry(line.text);
    if (text.empty()) continue;
    audit::PublicKey key;
    if (!decode_hex(text, HexCase::Either, key)) {
      return Failure::ordinary(fill_message(m::kBadKeysLine, {path, std::to_string(number), text}));
    }
    keys.add(key);
    ++listed;
  }
}

}  // namespace orvex::audit_tool
