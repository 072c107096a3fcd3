#include "validation/numeric_value.h"

namespace orvex::validation {

double numeric_value(const json::JsonValue* value, double fallback) {
  if (value == nullptr || value->type() != json::Type::Number) return fallback;
  // The integer conversions round to nearest under the default rounding
  // mode, which this library never changes.
  switch (value->number_kind()) {
    case json::NumberKind::Unsigned: return static_cast<double>(value->as_unsigned());
    case json::NumberKind::Negative: return static_cast<double>(value->as_negative());
    case json::NumberKind::Float: return value->as_float();
  }
  return fallback;
}

}  // namespace orvex::validation
