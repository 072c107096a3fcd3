#include "json/value.h"

#include <algorithm>

namespace orvex::json {

JsonValue JsonValue::boolean(bool b) {
  JsonValue v;
  v.state_.emplace<1>(b);
  return v;
}
JsonValue JsonValue::unsigned_integer(std::uint64_t u) {
  JsonValue v;
  v.state_.emplace<2>(u);
  return v;
}
JsonValue JsonValue::negative_integer(std::int64_t n) {
  JsonValue v;
  v.state_.emplace<3>(n);
  return v;
}
JsonValue JsonValue::floating(double d) {
  JsonValue v;
  v.state_.emplace<4>(d);
  return v;
}
JsonValue JsonValue::string(std::string s) {
  JsonValue v;
  v.state_.emplace<5>(std::move(s));
  return v;
}
JsonValue JsonValue::array(Array elements) {
  JsonValue v;
  v.state_.emplace<6>(std::move(elements));
  return v;
}
JsonValue JsonValue::object(Object members) {
  JsonValue v;
  v.state_.emplace<7>(std::move(members));
  return v;
}

Type JsonValue::type() const {
  switch (state_.index()) {
    case 0: return Type::Null;
    case 1: return Type::Boolean;
    case 2:
    case 3:
    case 4: return Type::Number;
    case 5: return Type::String;
    case 6: return Type::Array;
    default: return Type::Object;
  }
}

NumberKind JsonValue::number_kind() const {
  switch (state_.index()) {
    case 2: return NumberKind::Unsigned;
    case 3: return NumberKind::Negative;
    default: return NumberKind::Float;
  }
}

Object make_object(std::vector<Member> members) {
  // A stable sort keeps members with equal keys in document order, so the
  // last of each run is the one that was written last.
  std::stable_sort(members.begin(), members.end(),
                   [](const Member& a, const Member& b) { return a.key < b.key; });
  Object unique;
  unique.reserve(members.size());
  for (auto& m : members) {
    if (!unique.empty() && unique.back().key == m.key) {
      unique.back().value = std::move(m.value);
    } else {
      unique.push_back(std::move(m));
    }
  }
  return unique;
}

const JsonValue* find_member(const Object& object, std::string_view key) {
  auto it = std::lower_bound(object.begin(), object.end(), key,
                             [](const Member& m, std::string_view k) { return std::string_view(m.key) < k; });
  if (it == object.end() || it->key != key) return nullptr;
  return &it->value;
}

}  // namespace orvex::json
