// The usual spelling of a manifest entry, read without the general struct
// machinery: {"<name field>": "<name>", "<number field>": <number>} with
// the two fields in either order, field names and name without escapes,
// and any JSON whitespace. It is most of what a large manifest holds.
//
// Anything else, every fault included, is declined: the cursor is left
// where it was and the general reader reads the entry from the start, so
// all messages and positions stay the general reader's. What this accepts,
// the general reader accepts with the same result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "json/byte_scan.h"
#include "json/eight_digits.h"
#include "json/pow10_table.h"
#include "json/reader.h"

namespace orvex::documents {
namespace usual_entry_detail {

// A string without escapes at p (opening quote): its content and the byte
// after its closing quote, or nullptr.
inline const char* unescaped_string(const char* p, const char* end, std::string_view& content) {
  if (p == end || *p != '"') return nullptr;
  const char* after = json::unescaped_string_end(p, end);
  if (after != nullptr) content = std::string_view(p + 1, static_cast<std::size_t>(after - p - 2));
  return after;
}

// The member name at p (opening quote) when it is exactly `field` written
// without escapes: the byte after its closing quote, or nullptr. Only the
// two field names are ever accepted, so they are matched as literals
// instead of scanned for first.
inline const char* field_name(const char* p, const char* end, std::string_view field) {
  if (static_cast<std::size_t>(end - p) < field.size() + 2 || *p != '"') return nullptr;
  // A few bytes: a plain loop beats a call to memcmp.
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (p[1 + i] != field[i]) return nullptr;
  }
  return p[field.size() + 1] == '"' ? p + field.size() + 2 : nullptr;
}

inline constexpr std::uint64_t kPowersOfTen[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Appends the run of digits at p to `significand` (which wraps past 19
// digits: the caller declines those) and counts them in `count`; returns
// the byte after the run. Whole words of eight where eight bytes remain:
// full ones, then the run's last few in one step.
inline const char* take_digits(const char* p, const char* end, std::uint64_t& significand, std::size_t& count) {
  if constexpr (json::kEightDigitWords) {
    while (end - p >= 8) {
      std::uint64_t v;
      std::memcpy(&v, p, sizeof v);
      const int run = json::leading_digit_count(v);
      if (run == 0) return p;
      significand = significand * kPowersOfTen[run] + json::leading_digits_value(v, run);
      p += run;
      count += run;
      if (run < 8) return p;
    }
  }
  for (; p != end && is_digit(*p); ++p, ++count) significand = significand * 10 + static_cast<unsigned>(*p - '0');
  return p;
}

// The usual spelling of a number, -?(0|[1-9][0-9]*)(\.[0-9]+)? with no
// exponent after it and at most kUsualDigits digits (a lone leading zero
// not counted): its value computed exactly as the reader computes it (the
// digits as one integer, converted to the nearest double, then divided by
// the power of ten of the fraction's length), and the byte after it; or
// nullptr. With so few digits the reader takes every one of them into its
// integer, so the two cannot differ; the model test checks it.
inline constexpr std::size_t kUsualDigits = 19;

inline const char* usual_number(const char* p, const char* end, double& out) {
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  if (p == end) return nullptr;
  std::uint64_t significand = 0;  // wraps only past kUsualDigits, then declined
  // Counts as wide as the text: a number may be gigabytes of digits.
  std::size_t digits = 0;
  if (*p == '0') {
    ++p;
    if (p != end && is_digit(*p)) return nullptr;
  } else {
    p = take_digits(p, end, significand, digits);
    if (digits == 0) return nullptr;
  }
  std::size_t fraction = 0;
  if (p != end && *p == '.') {
    ++p;
    p = take_digits(p, end, significand, fraction);
    if (fraction == 0) return nullptr;
  }
  if (digits + fraction > kUsualDigits || (p != end && (*p == 'e' || *p == 'E'))) return nullptr;
  double magnitude = static_cast<double>(significand);
  if (fraction > 0) magnitude /= json::kPow10[fraction];
  out = negative ? -magnitude : magnitude;
  return p;
}

}  // namespace usual_entry_detail

// Reads the entry at the reader's cursor: the one decoder that scans the
// text by address and hands the reader back the place where it ends.
class UsualEntry {
 public:
  // Reads the entry at the cursor (whitespace before it skipped or not)
  // into name and number and returns true, or returns false with the cursor
  // unchanged. The entry's nesting is not counted: an entry sits at a fixed
  // depth of three, far inside the budget, and holds nothing nested.
  static bool read(json::Reader& r, std::string_view name_field, std::string_view number_field,
                   std::string_view& name, double& number);
};

inline bool UsualEntry::read(json::Reader& r, std::string_view name_field, std::string_view number_field,
                             std::string_view& name, double& number) {
  namespace d = usual_entry_detail;
  const char* const start = r.cur_;
  const char* const end = r.end_;
  const char* p = json::skip_json_whitespace(start, end);
  if (p == end || *p != '{') return false;
  ++p;
  bool have_name = false;
  bool have_number = false;
  for (int member = 0; member < 2; ++member) {
    if (member == 1) {
      if (p == end || *p != ',') return false;
      ++p;
    }
    p = json::skip_json_whitespace(p, end);
    const char* after = have_name ? nullptr : d::field_name(p, end, name_field);
    const bool is_name = after != nullptr;
    if (!is_name && !have_number) after = d::field_name(p, end, number_field);
    if (after == nullptr) return false;
    p = json::skip_json_whitespace(after, end);
    if (p == end || *p != ':') return false;
    p = json::skip_json_whitespace(p + 1, end);
    if (is_name) {
      p = d::unescaped_string(p, end, name);
      if (p == nullptr) return false;
      have_name = true;
    } else {
      const char* after_number = d::usual_number(p, end, number);
      if (after_number == nullptr) {  // an exponent, many digits, or no number
        if (p == end || (*p != '-' && !d::is_digit(*p))) return false;
        r.cur_ = p;
        json::Number value;
        const bool read = r.read_number(value);
        after_number = r.cur_;
        r.cur_ = start;
        if (!read) return false;
        number = value.to_double();
      }
      p = after_number;
      have_number = true;
    }
    p = json::skip_json_whitespace(p, end);
  }
  if (p == end || *p != '}') return false;
  r.cur_ = p + 1;
  return true;
}

}  // namespace orvex::documents
