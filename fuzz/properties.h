// Properties shared by the fuzz targets. A broken property aborts the
// process, so libFuzzer keeps the input that broke it as a crash artifact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::fuzz {

// Prints the property, the input (escaped) and a detail, then aborts.
[[noreturn]] void property_broken(const char* property, std::string_view input, std::string_view detail);

#define ORVEX_FUZZ_REQUIRE(condition, input, detail)                                \
  do {                                                                              \
    if (!(condition)) ::orvex::fuzz::property_broken(#condition, (input), (detail)); \
  } while (0)

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// A reading error split into its message and the byte offset that its
// " at line L column C" suffix names.
struct PlacedError {
  std::string_view message;
  std::size_t offset;
};

// Requires `error` to end with " at line L column C" (decimal, no leading
// zeros, L >= 1) naming a position that lies inside `text`: line L exists
// and its first C bytes hold no line feed and do not run past the end.
PlacedError place_error(std::string_view text, std::string_view error);

// The words a typed decoder may use in its type, value, length and field
// messages.
struct TypedVocabulary {
  std::vector<std::string_view> expectations;  // "struct Intent", "a string", ...
  std::vector<std::string_view> length_texts;  // "struct Intent with 5 elements"
  std::vector<std::string_view> fields;        // "id", "objective", ...
};

// Requires `message` to be one of the reader's syntax messages, pointing at
// a byte that fits it (an end-of-text message at the end, "trailing comma"
// at a closing bracket, ...).
void check_syntax_error(std::string_view text, const PlacedError& error);

// Requires `message` to be a syntax message (as above) or a type, value,
// length or field message built from `words`, pointing where that message
// must point.
void check_reading_error(std::string_view text, const PlacedError& error, const TypedVocabulary& words);

bool is_syntax_message(std::string_view message);
bool starts_with(std::string_view text, std::string_view prefix);

}  // namespace orvex::fuzz
