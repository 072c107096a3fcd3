// The common spelling of a manifest entry, read without the general struct
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
#include <cstring>
#include <string_view>

#include "documents/struct_reader.h"
#include "json/byte_scan.h"
#include "json/reader.h"

namespace orvex::documents {
namespace plain_entry_detail {

// A string without escapes at p (opening quote): its content and the byte
// after its closing quote, or nullptr.
inline const char* plain_string(const char* p, const char* end, std::string_view& content) {
  if (p == end || *p != '"') return nullptr;
  const char* after = json::plain_string_end(p, end);
  if (after != nullptr) content = std::string_view(p + 1, static_cast<std::size_t>(after - p - 2));
  return after;
}

// The member name at p (opening quote) when it is exactly `field` written
// without escapes: the byte after its closing quote, or nullptr. Only the
// two field names are ever accepted, so they are matched as literals
// instead of scanned for first.
inline const char* field_name(const char* p, const char* end, std::string_view field) {
  if (static_cast<std::size_t>(end - p) < field.size() + 2 || *p != '"') return nullptr;
  if (std::memcmp(p + 1, field.data(), field.size()) != 0 || p[field.size() + 1] != '"') return nullptr;
  return p + field.size() + 2;
}

}  // namespace plain_entry_detail

// Reads the entry at the cursor (whitespace before it not yet skipped) into
// name and number and returns true, or returns false with the cursor
// unchanged. The entry's nesting is not counted: an entry sits at a fixed
// depth of three, far inside the budget, and holds nothing nested.
inline bool read_plain_entry(json::Reader& r, std::string_view name_field, std::string_view number_field,
                             std::string_view& name, double& number) {
  namespace d = plain_entry_detail;
  const char* const start = r.cursor();
  const char* const end = r.end();
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
      p = d::plain_string(p, end, name);
      if (p == nullptr) return false;
      have_name = true;
    } else {
      if (p == end || (*p != '-' && (*p < '0' || *p > '9'))) return false;
      r.set_cursor(p);
      json::Number value;
      const bool read = r.read_number(value);
      p = r.cursor();
      r.set_cursor(start);
      if (!read) return false;
      number = value.to_double();
      have_number = true;
    }
    p = json::skip_json_whitespace(p, end);
  }
  if (p == end || *p != '}') return false;
  r.set_cursor(p + 1);
  return true;
}

}  // namespace orvex::documents
