// The whole validate operation on three texts cut from one input at its
// first two NUL bytes (a missing part is a valid empty action or state).
// Parse failures carry the decoder's own text after the document's prefix
// and leave no log; a decision matches one recomputed from the documents,
// and leaves exactly one log line: the record rebuilt here from the
// documents, signed with the known seed.
#include <fcntl.h>
#include <sodium.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "documents/intent_action_state.h"
#include "expected_texts.h"
#include "json/writer.h"
#include "properties.h"
#include "validation/validate.h"
#include "verdict_oracle.h"

namespace orvex::fuzz {
namespace {

// RFC 8032 test 1.
constexpr char kSeedHex[] = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
constexpr char kLogName[] = "orvex_audit.log";
constexpr std::string_view kDefaultAction = "{\"params\":{}}";
constexpr std::string_view kDefaultState = "{\"values\":{}}";
constexpr char kSeparator = '\0';

unsigned char g_public_key[crypto_sign_PUBLICKEYBYTES];
unsigned char g_secret_key[crypto_sign_SECRETKEYBYTES];
char g_workdir[] = "/tmp/orvex-validate-fuzz-XXXXXX";
int g_origin = -1;  // the directory libFuzzer reads and writes its files in

void remove_workdir() {
  ::unlink((std::string(g_workdir) + "/" + kLogName).c_str());
  ::rmdir(g_workdir);
}

// The log is written to the working directory: each call runs in the
// scratch directory, and libFuzzer's relative paths keep working outside it.
class InScratchDirectory {
 public:
  InScratchDirectory() {
    if (::chdir(g_workdir) != 0) std::abort();
  }
  ~InScratchDirectory() {
    if (::fchdir(g_origin) != 0) std::abort();
  }
  InScratchDirectory(const InScratchDirectory&) = delete;
  InScratchDirectory& operator=(const InScratchDirectory&) = delete;
};

std::string hex(const unsigned char* bytes, std::size_t size) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

bool log_exists() { return ::access(kLogName, F_OK) == 0; }

std::string read_log() {
  std::ifstream in(kLogName, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

bool digits_at(std::string_view t, std::size_t at, std::size_t count) {
  if (at + count > t.size()) return false;
  for (std::size_t i = at; i < at + count; ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
  }
  return true;
}

// YYYY-MM-DDTHH:MM:SS, then nothing, .ddd, .dddddd or .ddddddddd, then +00:00.
bool is_record_timestamp(std::string_view t) {
  constexpr std::string_view kOffset = "+00:00";
  if (t.size() < 19 + kOffset.size() || t.substr(t.size() - kOffset.size()) != kOffset) return false;
  if (!digits_at(t, 0, 4) || t[4] != '-' || !digits_at(t, 5, 2) || t[7] != '-' || !digits_at(t, 8, 2) ||
      t[10] != 'T' || !digits_at(t, 11, 2) || t[13] != ':' || !digits_at(t, 14, 2) || t[16] != ':' ||
      !digits_at(t, 17, 2)) {
    return false;
  }
  const std::size_t fraction = t.size() - kOffset.size() - 19;
  if (fraction == 0) return true;
  return (fraction == 4 || fraction == 7 || fraction == 10) && t[19] == '.' && digits_at(t, 20, fraction - 1);
}

// The members of the signed text and of the record, written here from the
// decoded documents; only the timestamp is taken from the line.
void check_log_line(std::string_view input, const documents::Intent& intent, const documents::ProposedAction& action,
                    const Result<bool>& result) {
  ORVEX_FUZZ_REQUIRE(log_exists(), input, "a decision left no log");
  const std::string log = read_log();
  ORVEX_FUZZ_REQUIRE(!log.empty() && log.back() == '\n' && log.find('\n') == log.size() - 1, input, log);

  constexpr std::string_view kHead = "{\"timestamp\":\"";
  ORVEX_FUZZ_REQUIRE(starts_with(log, kHead), input, log);
  const std::size_t stamp_end = log.find('"', kHead.size());
  ORVEX_FUZZ_REQUIRE(stamp_end != std::string::npos, input, log);
  const std::string timestamp = log.substr(kHead.size(), stamp_end - kHead.size());
  ORVEX_FUZZ_REQUIRE(is_record_timestamp(timestamp), input, log);

  const std::string params = json::write_compact(json::JsonValue::object(action.params));
  std::string reason = "null";
  if (!result.ok()) {
    reason.clear();
    json::write_string(result.failure().message, reason);
  }
  const std::string verdict = result.ok() ? "\"PASS\"" : "\"FAIL\"";
  const auto quoted = [](std::string_view s) {
    std::string out;
    json::write_string(s, out);
    return out;
  };

  const std::string signed_text = "{\"action_params\":" + params + ",\"intent_id\":" + quoted(intent.id) +
                                  ",\"mode\":" + quoted(intent.mode) + ",\"objective\":" + quoted(intent.objective) +
                                  ",\"reason\":" + reason + ",\"result\":" + verdict +
                                  ",\"timestamp\":" + quoted(timestamp) + ",\"version\":" + quoted(intent.version) +
                                  "}";
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(signed_text.data()),
                       signed_text.size(), g_secret_key);

  const std::string record = "{\"timestamp\":" + quoted(timestamp) + ",\"intent_id\":" + quoted(intent.id) +
                             ",\"objective\":" + quoted(intent.objective) + ",\"mode\":" + quoted(intent.mode) +
                             ",\"version\":" + quoted(intent.version) + ",\"action_params\":" + params +
                             ",\"result\":" + verdict + ",\"reason\":" + reason + ",\"public_key\":\"" +
                             hex(g_public_key, sizeof g_public_key) + "\",\"signature\":\"" +
                             hex(signature, sizeof signature) + "\"}\n";
  ORVEX_FUZZ_REQUIRE(log == record, input, log + "\n-- expected --\n" + record);
}

void check_decision(std::string_view input, const documents::Intent& intent, const documents::ProposedAction& action,
                    const documents::State& state, const Result<bool>& result) {
  ORVEX_FUZZ_REQUIRE(result.ok() || !result.failure().is_abort, input, result.failure().message);
  const ExpectedVerdict expected = expected_verdict(intent, action, state);
  if (expected.allowed) {
    ORVEX_FUZZ_REQUIRE(result.ok() && result.value(), input, result.ok() ? "false" : result.failure().message);
    return;
  }
  ORVEX_FUZZ_REQUIRE(!result.ok(), input, expected.reason_head);
  const std::string& reason = result.failure().message;
  if (!expected.reason_is_spend && !expected.reason_is_violation) {
    ORVEX_FUZZ_REQUIRE(reason == expected.reason_head, input, reason);
    return;
  }
  ORVEX_FUZZ_REQUIRE(starts_with(reason, expected.reason_head) && reason.size() > expected.reason_head.size(), input,
                     reason);
  if (expected.reason_is_spend) {
    // The total is spelt in plain digits that read back to it exactly.
    const std::string total = reason.substr(expected.reason_head.size());
    ORVEX_FUZZ_REQUIRE(total.find_first_of("eE+") == std::string::npos, input, reason);
    const double spelt = std::strtod(total.c_str(), nullptr);
    ORVEX_FUZZ_REQUIRE(std::memcmp(&spelt, &expected.total, sizeof spelt) == 0, input, reason);
  }
}

void check_validate(std::string_view input) {
  const std::size_t first = input.find(kSeparator);
  const std::size_t second = first == std::string_view::npos ? first : input.find(kSeparator, first + 1);
  const std::string_view intent_text = input.substr(0, first);
  const std::string_view action_text =
      first == std::string_view::npos ? kDefaultAction : input.substr(first + 1, second - first - 1);
  const std::string_view state_text = second == std::string_view::npos ? kDefaultState : input.substr(second + 1);

  const InScratchDirectory scratch;
  ::unlink(kLogName);
  const Result<bool> result = validation::validate_intent_json(intent_text, action_text, state_text);

  const Result<documents::Intent> intent = documents::decode_intent(intent_text);
  const Result<documents::ProposedAction> action = documents::decode_action(action_text);
  const Result<documents::State> state = documents::decode_state(state_text);
  std::string refusal;
  if (!intent.ok()) {
    refusal = std::string(expected::kInvalidIntent) + intent.failure().message;
  } else if (!action.ok()) {
    refusal = std::string(expected::kInvalidAction) + action.failure().message;
  } else if (!state.ok()) {
    refusal = std::string(expected::kInvalidState) + state.failure().message;
  }
  if (!refusal.empty()) {
    ORVEX_FUZZ_REQUIRE(!result.ok() && !result.failure().is_abort && result.failure().message == refusal, input,
                       refusal);
    ORVEX_FUZZ_REQUIRE(!log_exists(), input, "a refused document was logged");
    return;
  }
  check_decision(input, intent.value(), action.value(), state.value(), result);
  check_log_line(input, intent.value(), action.value(), result);
}

}  // namespace
}  // namespace orvex::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using namespace orvex::fuzz;
  if (sodium_init() < 0) std::abort();
  unsigned char seed[crypto_sign_SEEDBYTES];
  if (sodium_hex2bin(seed, sizeof seed, kSeedHex, sizeof kSeedHex - 1, nullptr, nullptr, nullptr) != 0) std::abort();
  crypto_sign_seed_keypair(g_public_key, g_secret_key, seed);
  ::setenv("ORVEX_SEED", kSeedHex, 1);
  g_origin = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_origin < 0 || ::mkdtemp(g_workdir) == nullptr) std::abort();
  std::atexit(remove_workdir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvex::fuzz::check_validate(orvex::fuzz::as_text(data, size));
  return 0;
}
