#include "orvex_audit/seal_chain.h"

#include <cstring>

#include "common/fill_message.h"
#include "common/hex.h"
#include "orvex_audit/error_line.h"
#include "orvex_audit/input_file.h"
#include "orvex_audit/seal_file_lines.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;
namespace sm = seal_messages;

constexpr std::string_view kCompressedSuffix = ".gz";

// Why the seal's key is refused, or nothing when it is trusted.
std::optional<std::string> refuse_key(const Seal& seal, const PinnedKeys& pinned,
                                      std::optional<audit::PublicKey>& unpinned_key) {
  if (!pinned.empty()) {
    if (pinned.contains(seal.public_key)) return std::nullopt;
    return fill_message(sm::kSealKeyNotPinned, {lowercase_hex(seal.public_key)});
  }
  // Unpinned, one key is taken on trust as the records' is; a second key
  // could be anyone's.
  if (!unpinned_key.has_value()) unpinned_key = seal.public_key;
  if (*unpinned_key == seal.public_key) return std::nullopt;
  return fill_message(sm::kSealSecondKey, {lowercase_hex(seal.public_key)});
}

class ChainReader {
 public:
  ChainReader(const std::string& path, Report& report, SealChain& chain)
      : path_(path), report_(report), chain_(chain) {}

  void link(const Seal& seal, std::uint64_t number) {
    if (!seal.previous.has_value()) {
      if (number != 1) finding(number, FindingKind::kBrokenChain, std::string(sm::kChainRestarts));
    } else if (number == 1) {
      finding(number, FindingKind::kBrokenChain, std::string(sm::kChainNamesMissingStart));
    } else if (before_.has_value() && *seal.previous != *before_) {
      finding(number, FindingKind::kBrokenChain, fill_message(sm::kChainGap, {std::to_string(before_line_)}));
    }
  }

  // The seal that the next one must name. A line that is no seal at all is
  // passed over (it is reported on its own), so that an inserted line does
  // not hide a gap behind it; a seal with a bad signature or key still
  // links by the signature it carries.
  void set_before(const audit::Signature& signature, std::uint64_t number) {
    before_ = signature;
    before_line_ = number;
  }

  // Adds the seal's claim to the file whose content it covers.
  void add_checkpoint(const Seal& seal, std::uint64_t number) {
    SealedFile& file = chain_.files[file_for(seal)];
    if (!file.checkpoints.empty() && seal.bytes < file.checkpoints.back().bytes) {
      const Checkpoint& last = file.checkpoints.back();
      finding(number, FindingKind::kSealedPartChanged,
              fill_message(sm::kSealShrank, {seal.file, std::to_string(last.seal_line), std::to_string(last.bytes),
                                        std::to_string(seal.bytes)}));
    }
    if (!file.first.has_value()) file.first = seal.first;
    chain_.by_text[seal.sha256] = static_cast<std::size_t>(&file - chain_.files.data());
    file.checkpoints.push_back(Checkpoint{seal.bytes, seal.lines, seal.sha256, number});
  }

  void finding(std::uint64_t number, FindingKind kind, const std::string& detail) {
    ++chain_.findings;
    report_.bad_line(path_, number, kind, detail);
  }

 private:
  // The index of the file that this seal's content belongs to. The very
  // text of a file's latest seal, sealed again under another name, is that
  // file renamed; under this name with another first record, this name now
  // stands for a new file, and the old one stays expected on its own.
  std::size_t file_for(const Seal& seal) {
    if (const auto found = chain_.by_text.find(seal.sha256); found != chain_.by_text.end()) {
      SealedFile& file = chain_.files[found->second];
      if (!file.checkpoints.empty() && file.checkpoints.back().sha256 == seal.sha256 &&
          file.checkpoints.back().bytes == seal.bytes && file.checkpoints.back().lines == seal.lines) {
        if (file.name != seal.file) {
          if (const auto named = chain_.by_name.find(file.name); named != chain_.by_name.end() && named->second == found->second) {
            chain_.by_name.erase(named);
          }
          file.name = seal.file;
          chain_.by_name[seal.file] = found->second;
        }
        return found->second;
      }
    }
    if (const auto named = chain_.by_name.find(seal.file); named != chain_.by_name.end()) {
      const SealedFile& file = chain_.files[named->second];
      // An empty file has no first record yet: its next seal may give one.
      if (!file.first.has_value() || file.first == seal.first) return named->second;
      follow_rename(named->second);
    }
    chain_.files.push_back(SealedFile{seal.file, std::nullopt, {}, false});
    chain_.by_name[seal.file] = chain_.files.size() - 1;
    return chain_.files.size() - 1;
  }

  // The name of files[gone] has just been sealed over another file: the
  // file it held was renamed (a rotation of a log sealed while active) or
  // removed. Renamed, it was sealed since under another name, from the same
  // first record and at least as long; its seals then move to that file,
  // whose input must hold their text too, by digest. Only a name that the
  // sealer itself saw taken by another file can lose its file this way: a
  // sealed day copied in front of another file leaves its own name expected.
  void follow_rename(std::size_t gone) {
    SealedFile& old = chain_.files[gone];
    for (std::size_t n = gone + 1; n < chain_.files.size(); ++n) {
      SealedFile& file = chain_.files[n];
      if (file.checkpoints.empty() || file.name == old.name || file.first != old.first ||
          file.checkpoints.front().bytes < old.checkpoints.back().bytes) {
        continue;
      }
      for (const Checkpoint& checkpoint : old.checkpoints) chain_.by_text[checkpoint.sha256] = n;
      file.checkpoints.insert(file.checkpoints.begin(), old.checkpoints.begin(), old.checkpoints.end());
      old.checkpoints.clear();
      return;
    }
  }

  const std::string& path_;
  Report& report_;
  SealChain& chain_;
  std::optional<audit::Signature> before_;
  std::uint64_t before_line_ = 0;
};

}  // namespace

SealChain read_seal_chain(const std::string& path, const PinnedKeys& pinned, const SealAnchors& anchors,
                          Report& report, std::FILE* err) {
  SealChain chain;
  const InputFile input(path, m::kStandardInputName);
  if (input.fd() < 0) {
    report_error(err, input.error());
    chain.read_failed = true;
    return chain;
  }
  SealFileLines lines(input.fd());
  ChainReader reader(path, report, chain);
  std::optional<audit::PublicKey> unpinned_key;
  ChainLinks links(anchors);
  Result<Seal> seal = Failure::ordinary(std::string());
  for (;;) {
    const SealFileLines::Status status = lines.next(seal);
    if (status == SealFileLines::Status::kEnd) break;
    if (status == SealFileLines::Status::kReadError) {
      report_error(err, fill_message(m::kInputError, {path, std::strerror(lines.read_error())}));
      chain.read_failed = true;
      break;
    }
    const std::uint64_t number = lines.line_number();
    if (!seal.ok()) {
      reader.finding(number, FindingKind::kInvalidSeal, seal.failure().message);
      continue;
    }
    const Seal& current = seal.value();
    if (current.format == kChainSealFormat) {
      const std::vector<ChainFinding> found = links.judge(current, number);
      for (const ChainFinding& finding : found) reader.finding(number, finding.kind, finding.detail);
      if (!found.empty()) continue;
      reader.add_checkpoint(current, number);
      ++chain.seals;
      continue;
    }
    // The records' key signs first-format seals, and the guarded process
    // holds it: where chains are pinned, such a seal proves nothing.
    if (!anchors.empty()) {
      reader.finding(number, FindingKind::kInvalidSeal, std::string(sm::kFirstFormatNotTrusted));
      continue;
    }
    std::optional<std::string> refused;
    if (!seal_signature_valid(current)) {
      refused = std::string(sm::kBadSealSignature);
    } else {
      refused = refuse_key(current, pinned, unpinned_key);
    }
    if (refused.has_value()) {
      reader.finding(number, FindingKind::kInvalidSeal, *refused);
      reader.set_before(current.signature, number);
      continue;
    }
    reader.link(current, number);
    reader.set_before(current.signature, number);
    reader.add_checkpoint(current, number);
    ++chain.seals;
  }
  chain.tips = links.tips();
  return chain;
}

SealedFile* sealed_file_for(SealChain& chain, std::string_view input_base_name) {
  auto found = chain.by_name.find(input_base_name);
  if (found == chain.by_name.end() && input_base_name.size() > kCompressedSuffix.size() &&
      input_base_name.substr(input_base_name.size() - kCompressedSuffix.size()) == kCompressedSuffix) {
    found = chain.by_name.find(input_base_name.substr(0, input_base_name.size() - kCompressedSuffix.size()));
  }
  return found == chain.by_name.end() ? nullptr : &chain.files[found->second];
}

}  // namespace orvex::audit_tool
