// What a seal file says must be among the inputs: its lines checked as a
// chain, and, for each sealed file, every seal that covers a prefix of it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvex_audit/chain_links.h"
#include "orvex_audit/pinned_keys.h"
#include "orvex_audit/seal_anchors.h"
#include "orvex_audit/report.h"
#include "orvex_audit/seal_line.h"

namespace orvex::audit_tool {

// One seal's claim on a file's text: its first `bytes` bytes hold `lines`
// lines and hash to `sha256`.
struct Checkpoint {
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;
  fingerprint::Sha256Digest sha256{};
  std::uint64_t seal_line = 0;  // in the seal file, from 1
};

// The content of one file through its seals: checkpoints in seal order.
struct SealedFile {
  std::string name;  // as the latest seal names it
  std::optional<std::string> first;  // the first record's timestamp
  std::vector<Checkpoint> checkpoints;  // none once moved to its renamed file
  bool matched = false;  // an input was checked against it
};

struct SealChain {
  std::vector<SealedFile> files;  // in the order of their first seals
  // The file each name now stands for, and the file whose seals sealed a
  // text (by its digest), for renames.
  std::map<std::string, std::size_t, std::less<>> by_name;
  std::map<fingerprint::Sha256Digest, std::size_t> by_text;
  std::uint64_t seals = 0;        // valid seal lines
  std::uint64_t findings = 0;     // reported on the seal file's lines
  bool read_failed = false;       // the seal file could not be opened or read
  // The newest seal of each followed chain of chain seals.
  std::map<std::string, ChainTip, std::less<>> tips;
};

// Reads the seal file at `path` and reports, as findings on its lines: a
// line that is no seal, a bad signature, and what ChainLinks finds in chain
// seals. First-format seals are trusted only when no anchor is pinned, and
// then as before: signed by a pinned key (or, with nothing pinned, by one
// key only), each naming the seal line before it, the first naming none.
// A file is followed across a rename only by what the sealer saw: a seal of
// NAME2 that seals the very text (same length, same digest) of the latest
// seal of NAME1 shows that NAME1 became NAME2. So does a later seal of NAME1
// over another file (the sealer saw the name taken) when NAME2 was sealed
// from the same first record and at least as long: its input must then hold
// NAME1's sealed text. A first record alone never links two names: it is
// whatever the file's writer chose, and a sealed day copied in front of
// another file would otherwise pass for that day renamed. Errors opening or
// reading the file go to `err`.
SealChain read_seal_chain(const std::string& path, const PinnedKeys& pinned, const SealAnchors& anchors,
                          Report& report, std::FILE* err);

// The sealed file that an input of this base name is: NAME itself or
// NAME.gz (compressed after sealing); nullptr when none is.
SealedFile* sealed_file_for(SealChain& chain, std::string_view input_base_name);

}  // namespace orvex::audit_tool
