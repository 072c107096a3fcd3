#include "orvex_audit/seal_command.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "audit/timestamp.h"
#include "common/fill_message.h"
#include "common/hex.h"
#include "orvex_audit/crash_point.h"
#include "orvex_audit/error_line.h"
#include "orvex_audit/input_file.h"
#include "orvex_audit/input_text.h"
#include "orvex_audit/key_loading.h"
#include "orvex_audit/log_summary.h"
#include "orvex_audit/read_only_file.h"
#include "orvex_audit/seal_file_lines.h"
#include "orvex_audit/seal_line.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/sealing_key_file.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;
namespace sm = seal_messages;

constexpr mode_t kCreateMode = 0644;
constexpr std::size_t kReadBytes = std::size_t{1} << 16;

std::string system_error(std::string_view name, int error) {
  return fill_message(sm::kFileError, {name, std::strerror(error)});
}

// The seal file, open for reading and appending, locked against other
// sealers for as long as it is open, so two sealers cannot both chain onto
// the same line (a fork).
class SealFile {
 public:
  explicit SealFile(const std::string& name) : name_(name) {
    // A seal file that is no regular file is refused before it is locked:
    // reading a FIFO would block with the lock held, and every later sealer
    // with it.
    std::string reason;
    fd_ = open_without_waiting(name, O_RDWR | O_APPEND | O_CREAT, kCreateMode, reason);
    if (fd_ < 0) {
      error_ = fill_message(sm::kFileError, {name, reason});
      return;
    }
    int locked;
    do {
      locked = ::flock(fd_, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) error_ = system_error(name, errno);
  }
  SealFile(const SealFile&) = delete;
  SealFile& operator=(const SealFile&) = delete;
  ~SealFile() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }

  int fd() const { return fd_; }
  // Empty when the file is open and locked.
  const std::string& error() const { return error_; }

  // The seal file's last line, read as a seal: nothing for an empty file.
  // Fails when a line is not a seal.
  struct LastSeal {
    std::optional<Seal> seal;
    std::uint64_t line = 0;
  };
  Result<LastSeal> last_seal() {
    SealFileLines lines(fd_);
    LastSeal last;
    Result<Seal> seal = Failure::ordinary(std::string());
    for (;;) {
      switch (lines.next(seal)) {
        case SealFileLines::Status::kEnd: return last;
        case SealFileLines::Status::kReadError: return Failure::ordinary(system_error(name_, lines.read_error()));
        case SealFileLines::Status::kLine: break;
      }
      if (!seal.ok()) {
        return Failure::ordinary(
            fill_message(sm::kSealFileDamaged, {name_, std::to_string(lines.line_number()), seal.failure().message}));
      }
      last.seal = std::move(seal).value();
      last.line = lines.line_number();
    }
  }

  // One write per line, as the guard appends its records, so that a reader
  // never sees two seals interleaved; a short write is finished or failed.
  Result<Unit> append(std::string_view line) {
    while (!line.empty()) {
      const ssize_t written = ::write(fd_, line.data(), line.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return Failure::ordinary(fill_message(sm::kSealWriteFailed, {name_, std::strerror(errno)}));
      line.remove_prefix(static_cast<std::size_t>(written));
    }
    return Unit{};
  }

  // Seals are evidence: on stable storage before the command reports success.
  Result<Unit> sync() {
    if (::fdatasync(fd_) != 0) return Failure::ordinary(system_error(name_, errno));
    return Unit{};
  }

 private:
  std::string name_;
  int fd_ = -1;
  std::string error_;
};

std::string_view base_name(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The seal of one log file's text as it stands now, unsigned.
Result<Seal> summarize(const std::string& path) {
  const std::string_view name = base_name(path);
  if (!is_sealable_name(name)) return Failure::ordinary(fill_message(sm::kNameNotUtf8, {path}));
  const InputFile input(path, m::kStandardInputName);
  if (input.fd() < 0) return Failure::ordinary(input.error());

  InputText source(input.fd());
  LogSummary summary;
  std::array<char, kReadBytes> buffer;
  for (;;) {
    std::size_t got = 0;
    const InputText::Status status = source.read(buffer, got);
    if (status == InputText::Status::kEnd) break;
    if (status == InputText::Status::kReadError) return Failure::ordinary(system_error(path, source.read_error()));
    if (status == InputText::Status::kDamaged) {
      return Failure::ordinary(fill_message(sm::kFileError, {path, source.damage()}));
    }
    summary.add(std::string_view(buffer.data(), got));
  }
  Seal seal;
  seal.file = std::string(name);
  seal.bytes = summary.bytes();
  seal.lines = summary.lines();
  seal.sha256 = summary.digest();
  seal.first = summary.first();
  seal.last = summary.last();
  return seal;
}

// Signs one seal line at a time and appends it. `sign` fills the seal's
// chain members and signature; `after` runs once the line is on disk.
// Returns kExitAllValid, or kExitTrouble when some LOGFILE was skipped;
// nullopt when the chain cannot go on (reported).
template <typename Sign, typename After>
std::optional<int> seal_each(const Options& options, SealFile& seals, Sign sign, After after, std::FILE* err) {
  bool trouble = false;
  for (const std::string& path : options.files) {
    Result<Seal> summary = summarize(path);
    if (!summary.ok()) {
      report_error(err, summary.failure().message);
      trouble = true;
      continue;
    }
    Seal& seal = summary.value();
    seal.sealed_at = std::string(audit::now_rfc3339().view());
    if (Result<Unit> signed_ = sign(seal); !signed_.ok()) {
      report_error(err, signed_.failure().message);
      return std::nullopt;
    }
    std::string line = seal_line_text(seal);
    line.push_back('\n');
    // A seal is evidence only once it is on stable storage: synced before
    // the key that signed it is replaced.
    Result<Unit> written = seals.append(line);
    if (written.ok()) written = seals.sync();
    if (!written.ok()) {
      // The chain cannot go on after a line that may be torn.
      report_error(err, written.failure().message);
      return std::nullopt;
    }
    if (Result<Unit> done = after(seal); !done.ok()) {
      report_error(err, done.failure().message);
      return std::nullopt;
    }
  }
  return trouble ? kExitTrouble : kExitAllValid;
}

// The first format, signed with the records' key from ORVEX_SEED.
int seal_with_records_key(const Options& options, SealFile& seals, std::FILE* err) {
  const std::optional<audit::AuditKeyPair> key = load_key_or_report(err);
  if (!key.has_value()) return kExitTrouble;
  Result<SealFile::LastSeal> last = seals.last_seal();
  if (!last.ok()) {
    report_error(err, last.failure().message);
    return kExitTrouble;
  }
  std::optional<audit::Signature> previous;
  if (last.value().seal.has_value()) previous = last.value().seal->signature;
  const auto sign = [&](Seal& seal) -> Result<Unit> {
    seal.format = kFirstSealFormat;
    seal.previous = previous;
    sign_seal(seal, *key);
    return Unit{};
  };
  const auto after = [&](const Seal& seal) -> Result<Unit> {
    previous = seal.signature;
    return Unit{};
  };
  return seal_each(options, seals, sign, after, err).value_or(kExitTrouble);
}

// Whether `seal` is the chain seal that `state`'s key signed last: the one
// whose signature the key file keeps as the chain's tip.
bool is_tip(const Seal& seal, const SealingKeyState& state, const audit::PublicKey& current) {
  return state.tip.has_value() && seal.format == kChainSealFormat && seal.chain == state.chain &&
         seal.sequence + 1 == state.sequence && seal.signature == *state.tip && seal.next_key == current &&
         seal_signature_valid(seal);
}

// Whether `seal` is the one an interrupted run appended under the key
// file's current key, naming its pending next key: the run stopped before
// the key file moved on.
bool is_interrupted_seal(const Seal& seal, const SealingKeyState& state, const audit::PublicKey& current) {
  if (!state.next.has_value()) return false;
  const audit::AuditKeyPair next = state.next->key_pair();
  return seal.format == kChainSealFormat && seal.chain == state.chain && seal.sequence == state.sequence &&
         seal.public_key == current && seal.next_key == next.public_key() && seal.previous == state.tip &&
         seal_signature_valid(seal);
}

// The key file after `seal`, made by its current key, is on disk.
SealingKeyState moved_on(const SealingKeyState& state, const Seal& seal) {
  SealingKeyState after;
  after.chain = state.chain;
  after.sequence = state.sequence + 1;
  after.seed = *state.next;
  after.tip = seal.signature;
  return after;
}

constexpr std::string_view kPendingStep = "pending";
constexpr std::string_view kAppendedStep = "seal-appended";
constexpr std::string_view kNextStep = "next";

// Chain seals with the evolving key of the key file. For each seal: the
// next key is made and stored as pending in the key file; the seal, signed
// by the current key and naming the next, is appended and synced; then the
// key file holds the next key alone and the old one is wiped. A run stopped
// anywhere is finished by the next: a pending key is used, never replaced,
// so a key never names two different successors.
int seal_with_key_file(const Options& options, SealFile& seals, std::FILE* err) {
  const KeyFileLock lock(options.key_file);
  if (!lock.error().empty()) {
    report_error(err, lock.error());
    return kExitTrouble;
  }
  Result<SealingKeyState> read = read_key_file(options.key_file);
  if (!read.ok()) {
    report_error(err, read.failure().message);
    return kExitTrouble;
  }
  SealingKeyState state = std::move(read).value();
  Result<SealFile::LastSeal> last = seals.last_seal();
  if (!last.ok()) {
    report_error(err, last.failure().message);
    return kExitTrouble;
  }
  const std::optional<Seal>& tail = last.value().seal;
  {
    const audit::AuditKeyPair current = state.seed.key_pair();
    if (tail.has_value() && is_interrupted_seal(*tail, state, current.public_key())) {
      SealingKeyState finished = moved_on(state, *tail);
      if (Result<Unit> stored = replace_key_file(options.key_file, finished, kNextStep); !stored.ok()) {
        report_error(err, stored.failure().message);
        return kExitTrouble;
      }
      state = std::move(finished);
    } else if (!tail.has_value() && state.sequence > 0) {
      report_error(err, fill_message(sm::kChainSealsMissing, {options.seals, state.chain, std::to_string(state.sequence)}));
      return kExitTrouble;
    } else if (tail.has_value() && state.sequence == 0) {
      report_error(err, fill_message(sm::kChainStartsOnSeals, {options.seals, state.chain}));
      return kExitTrouble;
    } else if (tail.has_value() && !is_tip(*tail, state, current.public_key())) {
      report_error(err, fill_message(sm::kLastSealNotOurs,
                                     {options.seals, std::to_string(last.value().line), state.chain}));
      return kExitTrouble;
    }
  }
  const auto sign = [&](Seal& seal) -> Result<Unit> {
    if (!state.next.has_value()) {
      state.next = SecretSeed::random();
      if (Result<Unit> stored = replace_key_file(options.key_file, state, kPendingStep); !stored.ok()) return stored;
    }
    const audit::AuditKeyPair current = state.seed.key_pair();
    const audit::AuditKeyPair next = state.next->key_pair();
    seal.format = kChainSealFormat;
    seal.chain = state.chain;
    seal.sequence = state.sequence;
    seal.previous = state.tip;
    seal.next_key = next.public_key();
    sign_seal(seal, current);
    return Unit{};
  };
  const auto after = [&](const Seal& seal) -> Result<Unit> {
    crash_point(kAppendedStep);
    SealingKeyState moved = moved_on(state, seal);
    if (Result<Unit> stored = replace_key_file(options.key_file, moved, kNextStep); !stored.ok()) return stored;
    state = std::move(moved);
    return Unit{};
  };
  return seal_each(options, seals, sign, after, err).value_or(kExitTrouble);
}

}  // namespace

int run_seal(const Options& options, std::FILE* err) {
  // The key is checked before the seal file is touched.
  if (options.records_key) {
    const std::optional<audit::AuditKeyPair> key = load_key_or_report(err);
    if (!key.has_value()) return kExitTrouble;
  } else if (Result<SealingKeyState> key = read_key_file(options.key_file); !key.ok()) {
    report_error(err, key.failure().message);
    return kExitTrouble;
  }
  SealFile seals(options.seals);
  if (!seals.error().empty()) {
    report_error(err, seals.error());
    return kExitTrouble;
  }
  return options.records_key ? seal_with_records_key(options, seals, err) : seal_with_key_file(options, seals, err);
}

int run_seal_init(const Options& options, std::FILE* out, std::FILE* err) {
  SealingKeyState state;
  state.chain = options.chain;
  if (state.chain.empty()) {
    std::array<char, 256> host{};
    if (::gethostname(host.data(), host.size() - 1) != 0 || !is_chain_name(host.data())) {
      report_error(err, sm::kHostNameUnusable);
      return kExitTrouble;
    }
    state.chain = host.data();
  }
  state.seed = SecretSeed::random();
  if (Result<Unit> created = create_key_file(options.key_file, state); !created.ok()) {
    report_error(err, created.failure().message);
    return kExitTrouble;
  }
  const audit::AuditKeyPair anchor = state.seed.key_pair();
  const std::string line = fill_message(sm::kAnchorLine, {state.chain, lowercase_hex(anchor.public_key())});
  std::fwrite(line.data(), 1, line.size(), out);
  return std::fflush(out) == 0 ? kExitAllValid : kExitTrouble;
}

}  // namespace orvex::audit_tool
