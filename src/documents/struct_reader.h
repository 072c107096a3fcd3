// Typed documents in object form ({"name": value, ...}) or array form
// ([value, ...] in field order), decoded straight from the reader's cursor.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "documents/document_expectations.h"
#include "documents/field_text.h"
#include "json/json_errors.h"
#include "json/reader.h"

namespace orvex::documents {

struct StructShape {
  const std::string_view* fields;  // declaration order
  int field_count;                 // at most 32
  std::string_view expecting;      // "struct Intent"
  std::string_view length_text;    // "struct Intent with 5 elements"
};

namespace detail {

// Field names are short: a few word compares beat a call to memcmp. A name
// of eight bytes or more is compared in words, the last one overlapping the
// one before; a shorter one in two four-byte halves that may overlap.
inline bool same_bytes(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  const auto differ_at = [&](std::size_t at, auto word) {
    decltype(word) x;
    decltype(word) y;
    std::memcpy(&x, a.data() + at, sizeof x);
    std::memcpy(&y, b.data() + at, sizeof y);
    return x != y;
  };
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      if (differ_at(i, std::uint64_t{})) return false;
    }
    return !differ_at(n - 8, std::uint64_t{});
  }
  if (n >= 4) return !differ_at(0, std::uint32_t{}) && !differ_at(n - 4, std::uint32_t{});
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// The index of the field named `key`, or -1. Documents nearly always write
// their fields in declaration order, so the one due next (`expected`) is
// tried first; any other order finds its field in the full search.
inline int field_index(const StructShape& shape, std::string_view key, int expected) {
  if (expected < shape.field_count && same_bytes(shape.fields[expected], key)) return expected;
  for (int i = 0; i < shape.field_count; ++i) {
    if (same_bytes(shape.fields[i], key)) return i;
  }
  return -1;
}

template <class ReadField>
bool read_struct_object(json::Reader& r, const StructShape& shape, ReadField& read_field) {
  namespace msg = json::messages;
  std::uint32_t seen = 0;
  int expected = 0;  // the field due next in declaration order
  std::string scratch;
  std::string_view key;
  const bool read = r.read_elements(json::Reader::Container::kObject, [&] {
    if (r.peek() != '"') return r.fail_peeked(msg::kKeyMustBeAString);
    if (!r.read_key(key, scratch)) return false;
    const int field = field_index(shape, key, expected);
    if (field >= 0 && (seen & (1u << field)) != 0) {
      return r.fail_duplicate_field(shape.fields[field]);
    }
    if (!r.take_member_colon()) return false;
    if (field < 0) return r.skip_value();
    seen |= 1u << field;
    expected = field + 1;
    return read_field(field);
  });
  if (!read) return false;
  for (int i = 0; i < shape.field_count; ++i) {
    if ((seen & (1u << i)) == 0) return r.fail_missing_field(shape.fields[i]);
  }
  return true;
}

template <class ReadField>
bool read_struct_array(json::Reader& r, const StructShape& shape, ReadField& read_field) {
  namespace msg = json::messages;
  if (!r.enter_nesting()) return false;
  r.advance();
  for (int i = 0; i < shape.field_count; ++i) {
    const json::Reader::Next next = r.next_in(json::Reader::Container::kArray, i == 0);
    if (next == json::Reader::Next::kFailed) return false;
    if (next == json::Reader::Next::kClose) {
      r.advance();
      return r.fail_invalid_length(static_cast<std::size_t>(i), shape.length_text);
    }
    if (!read_field(i)) return false;
  }
  // After the last field the array must close: what follows is no longer
  // a missing comma but characters the struct does not take.
  r.skip_whitespace();
  if (r.at_end()) return r.fail_here(msg::kEofWhileParsingList);
  if (r.peek() == ',') {
    r.advance();
    r.skip_whitespace();
    if (!r.at_end() && r.peek() == ']') return r.fail_peeked(msg::kTrailingComma);
    return r.fail_peeked(msg::kTrailingCharacters);
  }
  if (r.peek() != ']') return r.fail_peeked(msg::kTrailingCharacters);
  r.advance();
  r.leave_nesting();
  return true;
}

}  // namespace detail

// Decodes one struct. Leading whitespace is skipped. read_field(i) decodes
// field i's value with the cursor before it (whitespace not yet skipped)
// and leaves the cursor past it.
template <class ReadField>
bool read_struct(json::Reader& r, const StructShape& shape, ReadField&& read_field) {
  r.skip_whitespace();
  if (r.at_end()) return r.fail_here(json::messages::kEofWhileParsingValue);
  if (r.peek() == '{') return detail::read_struct_object(r, shape, read_field);
  if (r.peek() == '[') return detail::read_struct_array(r, shape, read_field);
  return r.fail_invalid_type(shape.expecting);
}

// A JSON array whose elements are each read by read_element (cursor at the
// element, whitespace skipped); anything else is "expected a sequence".
template <class ReadElement>
bool read_sequence(json::Reader& r, ReadElement&& read_element) {
  namespace msg = json::messages;
  r.skip_whitespace();
  if (r.at_end()) return r.fail_here(msg::kEofWhileParsingValue);
  if (r.peek() != '[') return r.fail_invalid_type(messages::kExpectedSequence);
  return r.read_elements(json::Reader::Container::kArray, read_element);
}

// REQUIRES: peek() == '"'. A string kept as a view into the text when it
// holds no escape, decoded into `out`'s own buffer otherwise.
inline bool read_field_string(json::Reader& r, FieldText& out) {
  std::string_view in_text;
  if (r.view_unescaped_string(in_text)) {
    out = FieldText::in_text(in_text);
    return true;
  }
  return r.read_string(out.decoded());
}

// A JSON string, or "invalid type: ..., expected a string".
inline bool read_text(json::Reader& r, FieldText& out) {
  r.skip_whitespace();
  if (r.at_end()) return r.fail_here(json::messages::kEofWhileParsingValue);
  if (r.peek() != '"') return r.fail_invalid_type(messages::kExpectedString);
  return read_field_string(r, out);
}

// A JSON number of any kind, or "invalid type: ..., expected <expected>".
inline bool read_number_field(json::Reader& r, std::string_view expected, json::Number& out) {
  r.skip_whitespace();
  if (r.at_end()) return r.fail_here(json::messages::kEofWhileParsingValue);
  const unsigned char c = r.peek();
  if (c != '-' && (c < '0' || c > '9')) return r.fail_invalid_type(expected);
  return r.read_number(out);
}

// A complete document: decode(reader, document) reads one value, then only
// whitespace may follow. Failure: the error text with its position.
template <class Document, class Decode>
Result<Document> read_document(std::string_view text, Decode&& decode) {
  json::Reader r(text);
  Document doc;
  if (!decode(r, doc) || !r.finish()) return Failure::ordinary(r.error_text());
  return doc;
}

}  // namespace orvex::documents
