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
#include "orvex_audit/error_line.h"
#include "orvex_audit/input_file.h"
#include "orvex_audit/input_text.h"
#include "orvex_audit/key_loading.h"
#include "orvex_audit/log_summary.h"
#include "orvex_audit/read_only_file.h"
#include "orvex_audit/seal_file_lines.h"
#include "orvex_audit/seal_line.h"
#include "orvex_audit/seal_texts.h"
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

  // Reads the chain's last seal: its signature, or nullopt for an empty
  // file (the next seal starts the chain). Fails when a line is not a seal.
  Result<std::optional<audit::Signature>> chain_end() {
    SealFileLines lines(fd_);
    std::optional<audit::Signature> last;
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
      last = seal.value().signature;
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

}  // namespace

int run_seal(const Options& options, std::FILE* err) {
  const std::optional<audit::AuditKeyPair> key = load_key_or_report(err);
  if (!key.has_value()) return kExitTrouble;

  SealFile seals(options.seals);
  if (!seals.error().empty()) {
    report_error(err, seals.error());
    return kExitTrouble;
  }
  Result<std::optional<audit::Signature>> end = seals.chain_end();
  if (!end.ok()) {
    report_error(err, end.failure().message);
    return kExitTrouble;
  }
  std::optional<audit::Signature> previous = end.value();

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
    seal.previous = previous;
    sign_seal(seal, *key);
    std::string line = seal_line_text(seal);
    line.push_back('\n');
    if (Result<Unit> written = seals.append(line); !written.ok()) {
      // The chain cannot go on after a line that may be torn.
      report_error(err, written.failure().message);
      return kExitTrouble;
    }
    previous = seal.signature;
  }
  if (Result<Unit> synced = seals.sync(); !synced.ok()) {
    report_error(err, synced.failure().message);
    return kExitTrouble;
  }
  return trouble ? kExitTrouble : kExitAllValid;
}

}  // namespace orvex::audit_tool
