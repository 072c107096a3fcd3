// The floor under one guard call: the work that any implementation of the
// audit step has to do for every decision, with nothing else around it.
// Each iteration derives the Ed25519 key pair from a 32-byte seed, signs a
// signed text, and appends one record line to "orvex_audit.log" through a
// fresh open/write/close. The time per iteration is what a guard call is
// compared against.
//
// Usage: guard_floor [--iterations N] [--text-file PATH] [--two-writes]
//                    [--checked-open] [--io-only]
//   --text-file     the signed text to sign (default: a fixed realistic one);
//                   one trailing line feed in the file is ignored.
//   --two-writes    write the record and its line feed separately instead of
//                   in one write, to price the second system call.
//   --checked-open  open and write as the guard does, to price what keeps a
//                   FIFO from blocking and a record whole after a partial
//                   line: read access, O_NONBLOCK and the end found on opening,
//                   pread of the last byte before the write.
//   --io-only       skip the key and the signature: time the file work alone,
//                   so that what --checked-open adds stands out of the noise.
// Prints one line: iterations=N line_bytes=B ns_per_iteration=T
// The loop runs in a fresh temporary directory, removed at the end.
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

constexpr long kDefaultIterations = 2000;
constexpr long kWarmUpIterations = 50;
constexpr char kLogFileName[] = "orvex_audit.log";
constexpr mode_t kCreateMode = 0644;

// Any fixed seed will do: the cost of Ed25519 does not depend on the key.
constexpr std::array<unsigned char, crypto_sign_SEEDBYTES> kSeed = {
    0x9d, 0x61, 0xb1, 0x9d, 0xef, 0xfd, 0x5a, 0x60, 0xba, 0x84, 0x4a, 0xf4, 0x92, 0xec, 0x2c, 0xc4,
    0x44, 0x49, 0xc5, 0x69, 0x7b, 0x32, 0x69, 0x19, 0x70, 0x3b, 0xac, 0x03, 0x1c, 0xae, 0x7f, 0x60};

// The shape of a denied decision on a small intent and action.
constexpr std::string_view kDefaultSignedText =
    R"j({"action_params":{"amount":150,"currency":"EUR","vendor":"vendor-9"},)j"
    R"j("intent_id":"intent-42","mode":"strict","objective":"Restock office supplies",)j"
    R"j("reason":"Constraint violation: amount <= Number(100)","result":"FAIL",)j"
    R"j("timestamp":"2026-03-01T09:30:15.250117+00:00","version":"1.2"})j";

struct Options {
  long iterations = kDefaultIterations;
  std::string text_file;
  bool two_writes = false;
  bool checked_open = false;
  bool io_only = false;
};

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--two-writes") {
      options.two_writes = true;
    } else if (arg == "--checked-open") {
      options.checked_open = true;
    } else if (arg == "--io-only") {
      options.io_only = true;
    } else if (arg == "--iterations" && i + 1 < argc) {
      options.iterations = std::strtol(argv[++i], nullptr, 10);
      if (options.iterations <= 0) return false;
    } else if (arg == "--text-file" && i + 1 < argc) {
      options.text_file = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

bool read_signed_text(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return !text.empty() && text.back() == '}';
}

// A fresh directory that is the working directory while this object lives;
// the log and the directory are removed when it ends.
class TemporaryWorkDir {
 public:
  TemporaryWorkDir() {
    const char* base = std::getenv("TMPDIR");
    path_ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/guard_floor.XXXXXX";
    if (::mkdtemp(path_.data()) == nullptr) {
      path_.clear();
    } else if (::chdir(path_.c_str()) != 0) {
      ::rmdir(path_.c_str());
      path_.clear();
    }
  }
  TemporaryWorkDir(const TemporaryWorkDir&) = delete;
  TemporaryWorkDir& operator=(const TemporaryWorkDir&) = delete;
  ~TemporaryWorkDir() {
    if (path_.empty()) return;
    ::unlink(kLogFileName);
    if (::chdir("/") == 0) ::rmdir(path_.c_str());
  }

  bool ready() const { return !path_.empty(); }

 private:
  std::string path_;
};

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// The record carries the eight signed members and then the key and the
// signature, so it is as long as the signed text plus those two members.
class RecordLine {
 public:
  explicit RecordLine(std::string_view signed_text) {
    line_.assign(signed_text.substr(0, signed_text.size() - 1));
    line_ += R"(,"public_key":")";
    public_key_at_ = line_.size();
    line_.append(2 * crypto_sign_PUBLICKEYBYTES, '0');
    line_ += R"(","signature":")";
    signature_at_ = line_.size();
    line_.append(2 * crypto_sign_BYTES, '0');
    line_ += "\"}\n";
  }

  void fill(const unsigned char* public_key, const unsigned char* signature) {
    write_hex(public_key, crypto_sign_PUBLICKEYBYTES, public_key_at_);
    write_hex(signature, crypto_sign_BYTES, signature_at_);
  }

  std::string_view text() const { return line_; }

 private:
  void write_hex(const unsigned char* bytes, std::size_t size, std::size_t at) {
    // sodium_bin2hex writes a terminating zero, which the next byte of the
    // line (a quote) takes back below.
    const char after = line_[at + 2 * size];
    sodium_bin2hex(line_.data() + at, 2 * size + 1, bytes, size);
    line_[at + 2 * size] = after;
  }

  std::string line_;
  std::size_t public_key_at_ = 0;
  std::size_t signature_at_ = 0;
};

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// The guard's open of a regular file it owns: with read access, without
// waiting and without an access time update, the file's end and its last
// byte looked at. The floor itself opens write-only. The last byte is always a line feed here (or there is none),
// so the guard's second look, after the write, never happens.
int checked_open() {
  const int fd =
      ::open(kLogFileName, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOATIME, kCreateMode);
  if (fd < 0) return fd;
  // The end of a log with records in it, as the guard finds it; only a new
  // log's empty end is looked at again with fstat.
  off_t end = ::lseek(fd, 0, SEEK_END);
  if (end <= 0) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) std::abort();
    end = info.st_size;
  }
  char last = '\n';
  if (end > 0 && ::pread(fd, &last, 1, end - 1) == 1 && last != '\n') std::abort();
  return fd;
}

void one_iteration(std::string_view signed_text, RecordLine& line, const Options& options) {
  std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> public_key;
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret_key;
  std::array<unsigned char, crypto_sign_BYTES> signature;
  if (!options.io_only) {
    crypto_sign_seed_keypair(public_key.data(), secret_key.data(), kSeed.data());
    crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(signed_text.data()),
                         signed_text.size(), secret_key.data());
    sodium_memzero(secret_key.data(), secret_key.size());
    line.fill(public_key.data(), signature.data());
  }

  const Descriptor file(options.checked_open
                            ? checked_open()
                            : ::open(kLogFileName, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kCreateMode));
  if (file.get() < 0) return;
  const std::string_view text = line.text();
  if (options.two_writes) {
    write_all(file.get(), text.substr(0, text.size() - 1));
    write_all(file.get(), text.substr(text.size() - 1));
  } else {
    write_all(file.get(), text);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse_options(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s [--iterations N] [--text-file PATH] [--two-writes] [--checked-open] [--io-only]\n", argv[0]);
    return 2;
  }
  std::string signed_text(kDefaultSignedText);
  if (!options.text_file.empty() && !read_signed_text(options.text_file, signed_text)) {
    std::fprintf(stderr, "guard_floor: cannot read a JSON object from %s\n", options.text_file.c_str());
    return 2;
  }
  if (sodium_init() < 0) {
    std::fprintf(stderr, "guard_floor: libsodium failed to initialise\n");
    return 1;
  }
  const TemporaryWorkDir work_dir;
  if (!work_dir.ready()) {
    std::fprintf(stderr, "guard_floor: cannot create a temporary working directory\n");
    return 1;
  }

  RecordLine line(signed_text);
  for (long i = 0; i < kWarmUpIterations; ++i) one_iteration(signed_text, line, options);

  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < options.iterations; ++i) one_iteration(signed_text, line, options);
  const auto elapsed = std::chrono::steady_clock::now() - start;

  const double ns = static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
  std::printf("iterations=%ld line_bytes=%zu ns_per_iteration=%.0f\n", options.iterations, line.text().size(),
              ns / static_cast<double>(options.iterations));
  return 0;
}
