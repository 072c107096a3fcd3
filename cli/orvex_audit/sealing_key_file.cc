#include "orvex_audit/sealing_key_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sodium.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "common/file_descriptor.h"
#include "common/fill_message.h"
#include "common/hex.h"
#include "orvex_audit/crash_point.h"
#include "orvex_audit/seal_line.h"
#include "orvex_audit/seal_texts.h"

namespace orvex::audit_tool {

namespace {

namespace sm = seal_messages;

constexpr mode_t kKeyFileMode = 0600;
constexpr std::string_view kTempSuffix = ".new";
constexpr std::string_view kChainWord = "chain ";
constexpr std::string_view kSequenceWord = "sequence ";
constexpr std::string_view kSeedWord = "seed ";
constexpr std::string_view kTipWord = "tip ";
constexpr std::string_view kNextWord = "next ";
constexpr std::string_view kNoTip = "none";

// Text that held a secret: wiped before its memory goes. Reserved once, so
// that no reallocation leaves a copy behind.
class SecretText {
 public:
  SecretText() { text_.reserve(kMaxKeyFileBytes + 1); }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { sodium_memzero(text_.data(), text_.capacity()); }
  std::string& text() { return text_; }

 private:
  std::string text_;
};

Failure system_failure(const std::string& path, int error) {
  return Failure::ordinary(fill_message(sm::kKeyFileError, {path, std::strerror(error)}));
}

Failure malformed(const std::string& path, std::size_t line) {
  return Failure::ordinary(fill_message(sm::kKeyFileMalformed, {path, std::to_string(line)}));
}

int open_retrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC | O_NOFOLLOW, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void append_secret_hex(const SecretSeed& seed, std::string& out) {
  std::array<char, audit::kSeedBytes * 2 + 1> hex;
  sodium_bin2hex(hex.data(), hex.size(), seed.bytes().data(), seed.bytes().size());
  out.append(hex.data(), audit::kSeedBytes * 2);
  sodium_memzero(hex.data(), hex.size());
}

// Constant-time decoding: these digits are secret.
bool decode_secret_hex(std::string_view text, SecretSeed& seed) {
  if (text.size() != audit::kSeedBytes * 2) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  std::size_t length = 0;
  return sodium_hex2bin(seed.bytes().data(), seed.bytes().size(), text.data(), text.size(), nullptr, &length,
                        nullptr) == 0 &&
         length == audit::kSeedBytes;
}

void key_file_text(const SealingKeyState& state, std::string& out) {
  out.append(kKeyFileHeader).push_back('\n');
  out.append(kChainWord).append(state.chain).push_back('\n');
  out.append(kSequenceWord).append(std::to_string(state.sequence)).push_back('\n');
  out.append(kSeedWord);
  append_secret_hex(state.seed, out);
  out.push_back('\n');
  out.append(kTipWord);
  if (state.tip.has_value()) {
    append_lowercase_hex(*state.tip, out);
  } else {
    out.append(kNoTip);
  }
  out.push_back('\n');
  if (state.next.has_value()) {
    out.append(kNextWord);
    append_secret_hex(*state.next, out);
    out.push_back('\n');
  }
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool sync_directory(const std::string& path) {
  const FileDescriptor directory(open_retrying(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY));
  return directory.get() >= 0 && ::fsync(directory.get()) == 0;
}

// Overwrites the whole file behind `fd` with zeros and syncs it.
bool wipe_open_file(int fd) {
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const std::vector<char> zeros(static_cast<std::size_t>(info.st_size), '\0');
  return ::lseek(fd, 0, SEEK_SET) == 0 && write_all(fd, std::string_view(zeros.data(), zeros.size())) &&
         ::fdatasync(fd) == 0;
}

// Writes `state` to a new PATH.new, synced; a stale one is wiped and removed
// first, since it may hold a secret of its own.
Result<std::string> write_temp(const std::string& path, const SealingKeyState& state) {
  const std::string temp = path + std::string(kTempSuffix);
  {
    const FileDescriptor stale(open_retrying(temp.c_str(), O_WRONLY));
    if (stale.get() >= 0) {
      if (!wipe_open_file(stale.get())) return system_failure(temp, errno);
    }
  }
  if (::unlink(temp.c_str()) != 0 && errno != ENOENT) return system_failure(temp, errno);
  const FileDescriptor fd(open_retrying(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, kKeyFileMode));
  if (fd.get() < 0) return system_failure(temp, errno);
  SecretText text;
  key_file_text(state, text.text());
  if (!write_all(fd.get(), text.text()) || ::fsync(fd.get()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return system_failure(temp, error);
  }
  return temp;
}

// The value after `word` on `line`, or nothing when the line is another.
std::optional<std::string_view> value_after(std::string_view line, std::string_view word) {
  if (line.substr(0, word.size()) != word) return std::nullopt;
  return line.substr(word.size());
}

bool parse_sequence(std::string_view text, std::uint64_t& out) {
  if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0')) return false;
  out = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

Result<SealingKeyState> parse_key_file(const std::string& path, std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t feed = text.find('\n');
    if (feed == std::string_view::npos) return malformed(path, lines.size() + 1);
    lines.push_back(text.substr(0, feed));
    text.remove_prefix(feed + 1);
  }
  SealingKeyState state;
  if (lines.empty() || lines[0] != kKeyFileHeader) return malformed(path, 1);
  if (lines.size() < 5 || lines.size() > 6) return malformed(path, lines.size() < 5 ? lines.size() + 1 : 7);
  const auto chain = value_after(lines[1], kChainWord);
  if (!chain || !is_chain_name(*chain)) return malformed(path, 2);
  state.chain = std::string(*chain);
  const auto sequence = value_after(lines[2], kSequenceWord);
  if (!sequence || !parse_sequence(*sequence, state.sequence)) return malformed(path, 3);
  const auto seed = value_after(lines[3], kSeedWord);
  if (!seed || !decode_secret_hex(*seed, state.seed)) return malformed(path, 4);
  const auto tip = value_after(lines[4], kTipWord);
  if (!tip) return malformed(path, 5);
  if (*tip != kNoTip) {
    audit::Signature signature;
    if (!decode_hex(*tip, HexCase::LowerOnly, signature)) return malformed(path, 5);
    state.tip = signature;
  }
  // The chain's first seal has no predecessor, every later one has.
  if (state.tip.has_value() != (state.sequence > 0)) return malformed(path, 5);
  if (lines.size() == 6) {
    const auto next = value_after(lines[5], kNextWord);
    state.next.emplace();
    if (!next || !decode_secret_hex(*next, *state.next)) return malformed(path, 6);
  }
  return state;
}

}  // namespace

KeyFileLock::KeyFileLock(const std::string& key_file) {
  const std::string directory = directory_of(key_file);
  fd_ = open_retrying(directory.c_str(), O_RDONLY | O_DIRECTORY);
  int locked = -1;
  if (fd_ >= 0) {
    do {
      locked = ::flock(fd_, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
  }
  if (locked != 0) error_ = fill_message(sm::kKeyFileError, {directory, std::strerror(errno)});
}

KeyFileLock::~KeyFileLock() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

SecretSeed& SecretSeed::operator=(const SecretSeed& other) {
  bytes_ = other.bytes_;
  return *this;
}

SecretSeed::~SecretSeed() { sodium_memzero(bytes_.data(), bytes_.size()); }

SecretSeed SecretSeed::random() {
  SecretSeed seed;
  randombytes_buf(seed.bytes_.data(), seed.bytes_.size());
  return seed;
}

Result<SealingKeyState> read_key_file(const std::string& path) {
  const FileDescriptor fd(open_retrying(path.c_str(), O_RDONLY | O_NONBLOCK));
  if (fd.get() < 0) return system_failure(path, errno);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) return system_failure(path, errno);
  if (!S_ISREG(info.st_mode)) return Failure::ordinary(fill_message(sm::kKeyFileNotRegular, {path}));
  if ((info.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return Failure::ordinary(fill_message(sm::kKeyFileOpenToOthers, {path, mode}));
  }
  SecretText text;
  std::string& bytes = text.text();
  bytes.resize(kMaxKeyFileBytes + 1);
  std::size_t got = 0;
  for (;;) {
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return system_failure(path, errno);
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
    if (got > kMaxKeyFileBytes) return malformed(path, 1);
  }
  return parse_key_file(path, std::string_view(bytes.data(), got));
}

Result<Unit> create_key_file(const std::string& path, const SealingKeyState& state) {
  Result<std::string> temp = write_temp(path, state);
  if (!temp.ok()) return std::move(temp).failure();
  // link() never replaces: an existing key file stays as it is.
  const int linked = ::link(temp.value().c_str(), path.c_str());
  const int error = errno;
  {
    const FileDescriptor written(open_retrying(temp.value().c_str(), O_WRONLY));
    if (linked != 0 && written.get() >= 0) wipe_open_file(written.get());
  }
  ::unlink(temp.value().c_str());
  if (linked != 0) {
    if (error == EEXIST) return Failure::ordinary(fill_message(sm::kKeyFileExists, {path}));
    return system_failure(path, error);
  }
  if (!sync_directory(path)) return system_failure(directory_of(path), errno);
  return Unit{};
}

Result<Unit> replace_key_file(const std::string& path, const SealingKeyState& state, std::string_view step) {
  Result<std::string> temp = write_temp(path, state);
  if (!temp.ok()) return std::move(temp).failure();
  crash_point(std::string(step) + "-temp");
  // Held open across the rename, so that the replaced bytes can still be
  // overwritten once no name leads to them.
  const FileDescriptor old(open_retrying(path.c_str(), O_WRONLY));
  if (old.get() < 0) return system_failure(path, errno);
  if (::rename(temp.value().c_str(), path.c_str()) != 0) return system_failure(path, errno);
  if (!sync_directory(path)) return system_failure(directory_of(path), errno);
  crash_point(std::string(step) + "-stored");
  if (!wipe_open_file(old.get())) return system_failure(path, errno);
  return Unit{};
}

}  // namespace orvex::audit_tool
