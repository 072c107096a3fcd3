// Runs a fuzz target without libFuzzer, so that an ordinary test build (the
// sanitizer build included) puts its properties to hostile inputs in every
// test run: each file of the folders named on the command line, every
// proper prefix of it (a text cut short anywhere), the file with each byte
// in turn replaced by a byte that matters to a reader, and a table of texts
// that strain a reader's limits. A broken property aborts, as under
// libFuzzer; a run that found no file fails, so that a wrong folder cannot
// pass unseen.
//
//   corpus_replay_<target> FOLDER...
#include <dirent.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Defined only by the targets that prepare something once.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

// Bytes that change how a reader reads what follows: structure, quoting,
// escapes, digits and signs, the end of a text, and bytes that are not
// UTF-8 or start a sequence that may be cut short.
constexpr char kReplacementBytes[] = {'\0', '"', '\\', '[', '{', '}', ',', ':', '-', '9', 'e', '.', ' ', '\n',
                                      '\x7f', '\x80', '\xc3', '\xed', '\xf4', '\xff'};

// Nesting, run lengths and code points past what any reader here takes in
// its stride: each must be refused or read, never crash or hang.
std::vector<std::string> strained_texts() {
  constexpr std::size_t kDeep = 100000;
  constexpr std::size_t kLong = 1 << 20;
  // Members and entries that each cost a decoded value, a sort and a hash.
  constexpr std::size_t kMany = 10000;
  const auto repeat = [](std::string_view piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
  };
  std::string many_members;
  for (std::size_t i = 0; i < kMany; ++i) many_members += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  return {
      repeat("[", kDeep),
      repeat("{\"a\":", kDeep),
      repeat("[", kDeep) + repeat("]", kDeep),
      "[" + repeat("1,", kDeep) + "1]",
      std::string(kLong, '9'),
      "-" + std::string(kLong, '0') + "1",
      "0." + std::string(kLong, '0') + "1e-400",
      "1e" + std::string(kLong, '9'),
      "\"" + std::string(kLong, 'a') + "\"",
      "\"" + repeat("\\u0041", kDeep) + "\"",
      "\"" + repeat("\\ud800", kDeep) + "\"",
      "\"\\udc00\\ud800\\u0000\"",
      "\"" + repeat("\xf0\x9f\x98\x80", kDeep) + "\"",
      "\"\xc0\xaf\xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80\"",
      std::string(kLong, ' '),
      std::string(kLong, '\0'),
      "{\"id\":\"" + std::string(kLong, 'x') + "\",\"constraints\":[]}",
      "{\"params\":{" + many_members + "\"k\":1}}",
      "{\"values\":{\"cost\":" + std::string(kLong, '1') + "}}",
      "{\"ModSurfaces\":[" + repeat("{\"Name\":\"a\",\"Weight\":1e308},", kMany) + "{\"Name\":\"b\",\"Weight\":-0}],"
          "\"WeightTables\":[]}",
  };
}

std::vector<std::string> files_in(const std::string& folder) {
  std::vector<std::string> paths;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return paths;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    paths.push_back(folder + "/" + entry->d_name);
  }
  ::closedir(dir);
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

void run(const std::string& input) {
  // A copy of exactly the input's size, so that AddressSanitizer sees any
  // read past its end.
  std::vector<std::uint8_t> bytes(input.begin(), input.end());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

std::size_t replay_with_variants(const std::string& text) {
  std::size_t runs = 0;
  run(text);
  ++runs;
  for (std::size_t length = 0; length < text.size(); ++length) {
    run(text.substr(0, length));
    ++runs;
  }
  std::string changed = text;
  for (std::size_t at = 0; at < text.size(); ++at) {
    for (const char byte : kReplacementBytes) {
      if (byte == text[at]) continue;
      changed[at] = byte;
      run(changed);
      ++runs;
    }
    changed[at] = text[at];
  }
  return runs;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::size_t files = 0;
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    for (const std::string& path : files_in(argv[i])) {
      runs += replay_with_variants(read_file(path));
      ++files;
    }
  }
  if (files == 0) {
    std::fprintf(stderr, "no input file found in the folders named\n");
    return 1;
  }
  for (const std::string& text : strained_texts()) {
    run(text);
    ++runs;
  }
  std::printf("%zu files, %zu inputs replayed\n", files, runs);
  return 0;
}
