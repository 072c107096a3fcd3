// The links of chain seals, judged line by line as a seal file is read:
// each chain starts with a seal signed by its anchor (pinned, or taken on
// trust for one chain when nothing is pinned), and every later seal of the
// chain has the next sequence number, names the signature of the chain's
// seal before it, and is signed by the key that seal named as the next.
// Whoever holds a chain's current key can thus add seals, but cannot sign
// in the place of any earlier one.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "orvex_audit/report.h"
#include "orvex_audit/seal_anchors.h"
#include "orvex_audit/seal_line.h"

namespace orvex::audit_tool {

// The newest seal of one chain.
struct ChainTip {
  std::uint64_t next_sequence = 0;
  audit::PublicKey next_key{};
  audit::Signature signature{};
  std::uint64_t line = 0;
  std::string sealed_at;
};

struct ChainFinding {
  FindingKind kind;
  std::string detail;
};

class ChainLinks {
 public:
  // REQUIRES: `anchors` outlives this object.
  explicit ChainLinks(const SealAnchors& anchors) : anchors_(anchors) {}

  // Judges a chain seal on `line` of the seal file; nothing found: it is
  // trusted. A seal of a chain that is tracked becomes that chain's tip
  // either way, so that one bad seal is reported once, not again on every
  // seal after it.
  std::vector<ChainFinding> judge(const Seal& seal, std::uint64_t line);

  // The tracked chains (pinned or trusted) that have seals, by name.
  const std::map<std::string, ChainTip, std::less<>>& tips() const { return tips_; }

 private:
  // Why a seal of `chain` is not followed at all, or nothing.
  std::optional<ChainFinding> refuse_chain(const std::string& chain);

  const SealAnchors& anchors_;
  std::optional<std::string> trusted_chain_;  // with no anchor pinned: the first chain seen
  std::map<std::string, ChainTip, std::less<>> tips_;
};

}  // namespace orvex::audit_tool
