// The floor under `orvex-audit verify`: generating a large signed log for
// it, and the bare rate at which libsodium checks Ed25519 signatures of the
// same signed texts, with no reading, parsing or output around it.
//
// Usage: verify_floor generate COUNT PATH
//            writes COUNT records as the guard writes them (a fixed seed,
//            varied parameters and both outcomes) to PATH
//        verify_floor bare PATH [SAMPLE]
//            rebuilds the signed texts of up to SAMPLE (default 20000) lines
//            of PATH, then times crypto_sign_verify_detached over them on
//            one core, going over them again until at least 5 seconds of
//            processor time have passed; prints
//            verifications=N per_second=R per_cpu_second=C
//            (R by the wall clock, C by this process's processor time,
//            which other work on a busy machine does not inflate)
#include <sodium.h>
#include <time.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "audit/record_layout.h"
#include "audit/record_text.h"
#include "audit/signing_key.h"
#include "audit/timestamp.h"
#include "json/reader.h"
#include "json/writer.h"

namespace {

using orvex::json::JsonValue;
namespace layout = orvex::audit::record_layout;

constexpr std::array<std::uint8_t, 32> kSeed = {
    0x9d, 0x61, 0xb1, 0x9d, 0xef, 0xfd, 0x5a, 0x60, 0xba, 0x84, 0x4a, 0xf4, 0x92, 0xec, 0x2c, 0xc4,
    0x44, 0x49, 0xc5, 0x69, 0x7b, 0x32, 0x69, 0x19, 0x70, 0x3b, 0xac, 0x03, 0x1c, 0xae, 0x7f, 0x60};
constexpr long kDefaultSample = 20000;
constexpr double kMinCpuSeconds = 5.0;

double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int generate(long count, const char* path) {
  const orvex::audit::AuditKeyPair key = orvex::audit::AuditKeyPair::from_seed(kSeed);
  orvex::documents::Intent intent{"intent-42", "Restock office supplies", "strict", "1.2", {}};
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 2;
  for (long n = 0; n < count; ++n) {
    orvex::documents::ProposedAction action;
    action.params = orvex::json::make_object({
        {"amount", JsonValue::unsigned_integer(static_cast<std::uint64_t>(n % 200))},
        {"currency", JsonValue::string("EUR")},
        {"vendor", JsonValue::string("vendor-" + std::to_string(n % 97))},
    });
    const bool allowed = n % 200 <= 100;
    const auto verdict =
        allowed ? orvex::Verdict::allow() : orvex::Verdict::deny("Constraint violation: amount <= Number(100)");
    // Distinct times, so that no two records are alike.
    const orvex::audit::Rfc3339Text timestamp =
        orvex::audit::format_rfc3339(1780000000 + n / 1000, (n % 1000) * 1000000 + 1);
    orvex::audit::RecordText text(intent, action, verdict, timestamp.view());
    const orvex::audit::Signature signature = key.sign(text.signed_text());
    const std::string_view line = text.line(key.public_key(), signature);
    std::fwrite(line.data(), 1, line.size(), out);
  }
  return std::fclose(out) == 0 ? 0 : 2;
}

struct Signed {
  std::string text;
  std::array<unsigned char, 64> signature;
  std::array<unsigned char, 32> key;
};

bool from_hex(const std::string& hex, unsigned char* out, std::size_t bytes) {
  std::size_t written = 0;
  return sodium_hex2bin(out, bytes, hex.data(), hex.size(), nullptr, &written, nullptr) == 0 && written == bytes;
}

int bare(const char* path, long sample) {
  std::ifstream in(path);
  std::vector<Signed> items;
  std::string line;
  while (static_cast<long>(items.size()) < sample && std::getline(in, line)) {
    orvex::Result<JsonValue> value = orvex::json::read_json(line);
    if (!value.ok() || value.value().type() != orvex::json::Type::Object) return 2;
    const orvex::json::Object& record = value.value().as_object();
    Signed item;
    orvex::json::Object members;
    for (const auto member : layout::kSignedOrder) {
      const std::string name(layout::kNames[member]);
      members.push_back({name, *orvex::json::find_member(record, name)});
    }
    item.text = orvex::json::write_compact(JsonValue::object(std::move(members)));
    const JsonValue* signature = orvex::json::find_member(record, layout::kNames[layout::kSignature]);
    const JsonValue* key = orvex::json::find_member(record, layout::kNames[layout::kPublicKey]);
    if (!from_hex(signature->as_string(), item.signature.data(), 64) ||
        !from_hex(key->as_string(), item.key.data(), 32)) {
      return 2;
    }
    items.push_back(std::move(item));
  }
  if (items.empty()) return 2;
  const auto start = std::chrono::steady_clock::now();
  const double cpu_start = cpu_seconds();
  long done = 0;
  long good = 0;
  do {
    for (const Signed& item : items) {
      good += crypto_sign_verify_detached(item.signature.data(),
                                          reinterpret_cast<const unsigned char*>(item.text.data()), item.text.size(),
                                          item.key.data()) == 0;
    }
    done += static_cast<long>(items.size());
  } while (cpu_seconds() - cpu_start < kMinCpuSeconds);
  const double cpu = cpu_seconds() - cpu_start;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (good != done) return 2;
  std::printf("verifications=%ld per_second=%.0f per_cpu_second=%.0f\n", done, static_cast<double>(done) / seconds,
              static_cast<double>(done) / cpu);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (sodium_init() < 0) return 2;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc == 4) return generate(std::atol(argv[2]), argv[3]);
  if (mode == "bare" && (argc == 3 || argc == 4)) return bare(argv[2], argc == 4 ? std::atol(argv[3]) : kDefaultSample);
  std::fprintf(stderr, "usage: verify_floor generate COUNT PATH | verify_floor bare PATH [SAMPLE]\n");
  return 2;
}
