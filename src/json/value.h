// The JSON value that every part of the system exchanges.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvex::json {

enum class Type : std::uint8_t { Null, Boolean, Number, String, Array, Object };

// The kind of a number is fixed when it is read and is part of its identity:
// 5 (Unsigned), 5.0 (Float) and -0 (Float) are three different numbers.
enum class NumberKind : std::uint8_t { Unsigned, Negative, Float };

class JsonValue;
struct Member;

using Array = std::vector<JsonValue>;
// Members in ascending byte order of their keys (unsigned bytes, a prefix
// first), keys unique. Every Object in the system keeps this invariant.
using Object = std::vector<Member>;

// A number as the reader produces it, before it becomes part of a value.
struct Number {
  NumberKind kind = NumberKind::Unsigned;
  std::uint64_t unsigned_value = 0;  // kind Unsigned
  std::int64_t negative_value = 0;   // kind Negative (always < 0)
  double float_value = 0.0;          // kind Float

  static Number unsigned_integer(std::uint64_t u) { return Number{NumberKind::Unsigned, u, 0, 0.0}; }
  static Number negative_integer(std::int64_t n) { return Number{NumberKind::Negative, 0, n, 0.0}; }
  static Number floating(double d) { return Number{NumberKind::Float, 0, 0, d}; }

  // The nearest double (integers round to nearest, ties to even).
  double to_double() const {
    switch (kind) {
      case NumberKind::Unsigned: return static_cast<double>(unsigned_value);
      case NumberKind::Negative: return static_cast<double>(negative_value);
      default: return float_value;
    }
  }
};

class JsonValue {
 public:
  JsonValue() = default;  // null

  static JsonValue boolean(bool b);
  static JsonValue unsigned_integer(std::uint64_t u);
  // REQUIRES: n < 0
  static JsonValue negative_integer(std::int64_t n);
  static JsonValue floating(double d);
  static JsonValue number(const Number& n);
  static JsonValue string(std::string s);
  static JsonValue array(Array elements);
  // REQUIRES: members sorted and unique (see make_object).
  static JsonValue object(Object members);

  // In-place changes for the reader, which fills values where they stand.
  void set_boolean(bool b);
  void set_number(const Number& n);
  // Each returns the empty string, array or object the value now holds.
  std::string& set_string();
  Array& set_array();
  Object& set_object();

  Type type() const;
  // REQUIRES: type() == Type::Number
  NumberKind number_kind() const;

  bool is_null() const { return state_.index() == 0; }
  // Each accessor REQUIRES the matching type (and number kind).
  bool as_bool() const { return std::get<1>(state_); }
  std::uint64_t as_unsigned() const { return std::get<2>(state_); }
  std::int64_t as_negative() const { return std::get<3>(state_); }
  double as_float() const { return std::get<4>(state_); }
  const std::string& as_string() const { return std::get<5>(state_); }
  const Array& as_array() const { return std::get<6>(state_); }
  const Object& as_object() const { return std::get<7>(state_); }

 private:
  std::variant<std::monostate, bool, std::uint64_t, std::int64_t, double,
               std::string, Array, Object>
      state_;
};

struct Member {
  std::string key;
  JsonValue value;
};

// Defined only here, where Member is complete: replacing the variant's
// alternative may destroy an Object, and a compiler may instantiate that
// at its first use (clang does).
inline void JsonValue::set_boolean(bool b) { state_.emplace<1>(b); }
inline std::string& JsonValue::set_string() { return state_.emplace<5>(); }
inline Array& JsonValue::set_array() { return state_.emplace<6>(); }
inline Object& JsonValue::set_object() { return state_.emplace<7>(); }

// Sorts members into ascending byte order of their keys; of several members
// with the same key the one written last wins and keeps the sorted place.
Object make_object(std::vector<Member> members);
// The same, in place: what the reader does with the members it has read.
void sort_members(std::vector<Member>& members);

// Exact, case-sensitive lookup; nullptr when the key is absent.
const JsonValue* find_member(const Object& object, std::string_view key);

}  // namespace orvex::json
