#include "validation/diagnostic_text.h"

#include <charconv>
#include <cstddef>
#include <cstdint>

#include "json/float_text.h"
#include "json/diagnostic_quote.h"
#include "validation/notation_words.h"

namespace orvex::validation {
namespace {

// Room for the digits of any 64-bit integer and its sign.
constexpr std::size_t kIntegerTextCapacity = 24;

template <class Integer>
void append_integer(Integer n, std::string& out) {
  char buffer[kIntegerTextCapacity];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, n);
  out.append(buffer, written.ptr);
}

void append_number_text(const json::JsonValue& value, std::string& out) {
  switch (value.number_kind()) {
    case json::NumberKind::Unsigned: append_integer(value.as_unsigned(), out); return;
    case json::NumberKind::Negative: append_integer(value.as_negative(), out); return;
    case json::NumberKind::Float: json::append_float_text(value.as_float(), out); return;
  }
}

void append_array(const json::Array& elements, std::string& out) {
  out += notation::kDiagnosticArrayOpen;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i > 0) out += notation::kDiagnosticElementSeparator;
    append_diagnostic_text(elements[i], out);
  }
  out += notation::kDiagnosticArrayClose;
}

// Members are already in ascending key order, which is the order shown.
void append_object(const json::Object& members, std::string& out) {
  out += notation::kDiagnosticObjectOpen;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0) out += notation::kDiagnosticElementSeparator;
    json::append_diagnostic_string(members[i].key, out);
    out += notation::kDiagnosticKeySeparator;
    append_diagnostic_text(members[i].value, out);
  }
  out += notation::kDiagnosticObjectClose;
}

}  // namespace

void append_diagnostic_text(const json::JsonValue& value, std::string& out) {
  switch (value.type()) {
    case json::Type::Null:
      out += notation::kDiagnosticNull;
      return;
    case json::Type::Boolean:
      out += value.as_bool() ? notation::kDiagnosticTrue : notation::kDiagnosticFalse;
      return;
    case json::Type::Number:
      out += notation::kDiagnosticNumberOpen;
      append_number_text(value, out);
      out += notation::kDiagnosticScalarClose;
      return;
    case json::Type::String:
      out += notation::kDiagnosticStringOpen;
      json::append_diagnostic_string(value.as_string(), out);
      out += notation::kDiagnosticScalarClose;
      return;
    case json::Type::Array:
      append_array(value.as_array(), out);
      return;
    case json::Type::Object:
      append_object(value.as_object(), out);
      return;
  }
}

}  // namespace orvex::validation
