#include "validation/json_equal.h"

#include <cstddef>

namespace orvex::validation {
namespace {

bool numbers_equal(const json::JsonValue& a, const json::JsonValue& b) {
  if (a.number_kind() != b.number_kind()) return false;
  switch (a.number_kind()) {
    case json::NumberKind::Unsigned: return a.as_unsigned() == b.as_unsigned();
    case json::NumberKind::Negative: return a.as_negative() == b.as_negative();
    // IEEE comparison on purpose: 0.0 equals -0.0.
    case json::NumberKind::Float: return a.as_float() == b.as_float();
  }
  return false;
}

bool arrays_equal(const json::Array& a, const json::Array& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!json_equal(a[i], b[i])) return false;
  }
  return true;
}

// Both objects hold their members in ascending key order, so walking them
// together compares the key sets and the values in one pass.
bool objects_equal(const json::Object& a, const json::Object& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].key != b[i].key || !json_equal(a[i].value, b[i].value)) return false;
  }
  return true;
}

}  // namespace

bool json_equal(const json::JsonValue& a, const json::JsonValue& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case json::Type::Null: return true;
    case json::Type::Boolean: return a.as_bool() == b.as_bool();
    case json::Type::Number: return numbers_equal(a, b);
    case json::Type::String: return a.as_string() == b.as_string();
    case json::Type::Array: return arrays_equal(a.as_array(), b.as_array());
    case json::Type::Object: return objects_equal(a.as_object(), b.as_object());
  }
  return false;
}

}  // namespace orvex::validation
