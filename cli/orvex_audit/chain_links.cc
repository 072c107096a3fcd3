#include "orvex_audit/chain_links.h"

#include "common/fill_message.h"
#include "common/hex.h"
#include "orvex_audit/seal_texts.h"

namespace orvex::audit_tool {

namespace sm = seal_messages;

std::optional<ChainFinding> ChainLinks::refuse_chain(const std::string& chain) {
  if (!anchors_.empty()) {
    if (anchors_.contains(chain)) return std::nullopt;
    return ChainFinding{FindingKind::kForeignChain, fill_message(sm::kChainNotPinned, {chain})};
  }
  if (!trusted_chain_.has_value()) trusted_chain_ = chain;
  if (*trusted_chain_ == chain) return std::nullopt;
  return ChainFinding{FindingKind::kForeignChain, fill_message(sm::kSecondChainUnpinned, {chain})};
}

std::vector<ChainFinding> ChainLinks::judge(const Seal& seal, std::uint64_t line) {
  std::vector<ChainFinding> found;
  if (std::optional<ChainFinding> refused = refuse_chain(seal.chain)) {
    found.push_back(std::move(*refused));
    return found;
  }
  if (!seal_signature_valid(seal)) found.push_back({FindingKind::kInvalidSeal, std::string(sm::kBadSealSignature)});
  const auto tip = tips_.find(seal.chain);
  if (tip == tips_.end()) {
    if (seal.sequence != 0) {
      found.push_back({FindingKind::kBrokenChain,
                       fill_message(sm::kChainStartsLate, {seal.chain, std::to_string(seal.sequence)})});
    } else if (seal.previous.has_value()) {
      found.push_back({FindingKind::kBrokenChain, std::string(sm::kChainNamesMissingStart)});
    }
    const auto anchor = anchors_.find(seal.chain);
    if (seal.sequence == 0 && anchor != anchors_.end() && anchor->second != seal.public_key) {
      found.push_back({FindingKind::kInvalidSeal,
                       fill_message(sm::kNotTheAnchor, {seal.chain, lowercase_hex(seal.public_key)})});
    }
  } else {
    const ChainTip& before = tip->second;
    const std::string before_line = std::to_string(before.line);
    if (seal.sequence != before.next_sequence) {
      found.push_back({FindingKind::kBrokenChain,
                       fill_message(sm::kWrongSequence, {std::to_string(seal.sequence), seal.chain,
                                                         std::to_string(before.next_sequence), before_line})});
    }
    if (seal.previous != before.signature) {
      found.push_back({FindingKind::kBrokenChain, fill_message(sm::kChainGap, {before_line})});
    }
    if (seal.public_key != before.next_key) {
      found.push_back({FindingKind::kInvalidSeal,
                       fill_message(sm::kNotTheNamedKey, {lowercase_hex(seal.public_key), seal.chain, before_line})});
    }
  }
  tips_[seal.chain] = ChainTip{seal.sequence + 1, seal.next_key, seal.signature, line, seal.sealed_at};
  return found;
}

}  // namespace orvex::audit_tool
