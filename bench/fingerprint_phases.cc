// Where the time of one fingerprint goes, phase by phase, on one manifest
// file: reading, sorting, writing the canonical text, hashing it, and the
// whole call. Each phase is timed alone, many times; the medians print.
//
// Usage: fingerprint_phases PATH [--iterations N]
// Prints one line: read_ns=.. sort_ns=.. format_ns=.. hash_ns=.. total_ns=..
// format_ns is the canonical text (sorting included) less sort_ns; hash_ns
// is SHA-256 of the whole canonical text and its hexadecimal text.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/hex.h"
#include "documents/manifest.h"
#include "fingerprint/canonical_text.h"
#include "fingerprint/fingerprint.h"
#include "fingerprint/sha256.h"

#include "fingerprint/name_order.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class Work>
double median_ns(long iterations, Work&& work) {
  std::vector<double> samples;
  for (long i = 0; i < iterations; ++i) {
    const auto start = Clock::now();
    work();
    samples.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// Timed calls are grouped so that a small manifest's phases are long
// enough to read a clock around.
constexpr long kSmallBatch = 1000;

}  // namespace

int main(int argc, char** argv) {
  using namespace orvex;
  if (argc < 2) {
    std::fprintf(stderr, "usage: fingerprint_phases PATH [--iterations N]\n");
    return 2;
  }
  long iterations = 21;
  if (argc >= 4 && std::string_view(argv[2]) == "--iterations") iterations = std::atol(argv[3]);
  std::ifstream in(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  Result<documents::ProjectManifest> read = documents::read_manifest(text);
  if (!read.ok()) {
    std::fprintf(stderr, "%s\n", read.failure().message.c_str());
    return 1;
  }
  const documents::ProjectManifest& manifest = read.value();
  const long batch = manifest.mod_surfaces.size() + manifest.weight_tables.size() < 1000 ? kSmallBatch : 1;

  volatile std::size_t sink = 0;
  const double read_ns = median_ns(iterations, [&] {
    for (long b = 0; b < batch; ++b) sink = sink + documents::read_manifest(text).value().mod_surfaces.size();
  }) / batch;

  fingerprint::NameOrder order;
  const double sort_ns = median_ns(iterations, [&] {
    for (long b = 0; b < batch; ++b) {
      order.sort(fingerprint::NameColumn::of(manifest.mod_surfaces, &documents::ModSurface::name));
      order.sort(fingerprint::NameColumn::of(manifest.weight_tables, &documents::WeightTable::key));
      sink = sink + order[0];
    }
  }) / batch;
  const double canonical_ns = median_ns(iterations, [&] {
    for (long b = 0; b < batch; ++b) fingerprint::emit_canonical_text(manifest, [&](std::string_view p) { sink = sink + p.size(); });
  }) / batch;

  const std::string canonical = fingerprint::canonical_text(manifest);
  const double hash_ns = median_ns(iterations, [&] {
    for (long b = 0; b < batch; ++b) {
      fingerprint::Sha256 hash;
      hash.update(canonical);
      sink = sink + lowercase_hex(hash.finish()).size();
    }
  }) / batch;
  const double total_ns = median_ns(iterations, [&] {
    for (long b = 0; b < batch; ++b) sink = sink + fingerprint::generate_logic_fingerprint(text).value().size();
  }) / batch;

  std::printf("read_ns=%.0f sort_ns=%.0f format_ns=%.0f hash_ns=%.0f total_ns=%.0f\n", read_ns, sort_ns,
              canonical_ns - sort_ns, hash_ns, total_ns);
  return 0;
}
