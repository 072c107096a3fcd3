// The manifest decoder and the logic fingerprint: the decoder keeps the
// typed-decoder properties, the fingerprint is that of a canonical text
// built here independently (stable byte-order sort, printf's "%.6f",
// libsodium's SHA-256), and verify accepts exactly that text.
#include <sodium.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "document_check.h"
#include "document_oracle.h"
#include "documents/manifest.h"
#include "expected_texts.h"
#include "fingerprint/fingerprint.h"

namespace orvex::fuzz {
namespace {

const TypedVocabulary kManifestWords{
    {"struct ProjectManifest", "struct ModSurface", "struct WeightTable", "a sequence", "a string", "f64"},
    {"struct ProjectManifest with 2 elements", "struct ModSurface with 2 elements",
     "struct WeightTable with 2 elements"},
    {"ModSurfaces", "WeightTables", "Name", "Weight", "Key", "Value"},
};

void append_six_decimals(double x, std::string& out) {
  const int length = std::snprintf(nullptr, 0, "%.6f", x);
  std::string digits(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(digits.data(), digits.size(), "%.6f", x);
  digits.pop_back();
  out += digits;
}

void append_entries(std::vector<NamedNumber> entries, std::string& out) {
  std::stable_sort(entries.begin(), entries.end(), [](const NamedNumber& a, const NamedNumber& b) {
    return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                        [](char p, char q) {
                                          return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
                                        });
  });
  for (const NamedNumber& e : entries) {
    out += e.name;
    out += ':';
    append_six_decimals(e.number, out);
    out += ';';
  }
}

std::string expected_fingerprint(const OwnedManifest& m) {
  std::string canonical;
  append_entries(m.mod_surfaces, canonical);
  append_entries(m.weight_tables, canonical);
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(canonical.data()), canonical.size());
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : digest) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

bool verifies(std::string_view text, std::string_view expected_text) {
  const Result<bool> verdict = fingerprint::verify_logic_fingerprint(text, expected_text);
  ORVEX_FUZZ_REQUIRE(verdict.ok(), text, "verify failed on a readable manifest");
  return verdict.value();
}

void check_fingerprint(std::string_view text) {
  const Result<documents::ProjectManifest> manifest = documents::read_manifest(text);
  const Result<std::string> generated = fingerprint::generate_logic_fingerprint(text);
  if (!manifest.ok()) {
    const std::string refusal = std::string(expected::kInvalidManifest) + manifest.failure().message;
    ORVEX_FUZZ_REQUIRE(!generated.ok() && generated.failure().message == refusal && !generated.failure().is_abort,
                       text, refusal);
    const Result<bool> verdict = fingerprint::verify_logic_fingerprint(text, "");
    ORVEX_FUZZ_REQUIRE(!verdict.ok() && verdict.failure().message == refusal, text, refusal);
    return;
  }
  ORVEX_FUZZ_REQUIRE(generated.ok(), text, generated.failure().message);
  const std::string& fp = generated.value();
  ORVEX_FUZZ_REQUIRE(fp == expected_fingerprint(owned_manifest(manifest.value())), text, fp);

  ORVEX_FUZZ_REQUIRE(verifies(text, fp), text, fp);
  std::string upper = fp;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'f' ? c - 32 : c; });
  ORVEX_FUZZ_REQUIRE(upper == fp || !verifies(text, upper), text, upper);
  ORVEX_FUZZ_REQUIRE(!verifies(text, fp + "\n"), text, fp);
  ORVEX_FUZZ_REQUIRE(!verifies(text, fp.substr(0, fp.size() - 1)), text, fp);
  ORVEX_FUZZ_REQUIRE(!verifies(text, ""), text, fp);
}

}  // namespace
}  // namespace orvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = orvex::fuzz::as_text(data, size);
  orvex::fuzz::check_typed_decode(text, orvex::fuzz::kManifestWords, orvex::documents::read_manifest,
                                  orvex::fuzz::manifest_from_tree, orvex::fuzz::same_manifest);
  orvex::fuzz::check_fingerprint(text);
  return 0;
}
