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
JsonValue JsonValue::number(const Number& n) {
  switch (n.kind) {
    case NumberKind::Unsigned: return unsigned_integer(n.unsigned_value);
    case NumberKind::Negative: return negative_integer(n.negative_value);
    default: return floating(n.float_value);
  }
}
void JsonValue::set_number(const Number& n) {
  switch (n.kind) {
    case NumberKind::Unsigned: state_.emplace<2>(n.unsigned_value); return;
    case NumberKind::Negative: state_.emplace<3>(n.negative_value); return;
    default: state_.emplace<4>(n.float_value); return;
  }
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

void sort_members(std::vector<Member>& members) {
  const auto by_key = [](const Member& a, const Member& b) { return a.key < b.key; };
  // Members usually arrive in order already, or nearly: an insertion sort
  // (stable, no scratch memory) serves small objects; stable_sort the rest.
  // Stability keeps members with equal keys in document order, so the last
  // of each run is the one written last.
  constexpr std::size_t kInsertionSortLimit = 16;
  // Whether two members may share a key. The insertion sort compares every
  // pair that ends up adjacent at the moment it becomes adjacent, and equal
  // keys end up adjacent, so it tells for sure; the usual object, without
  // repeated keys, then skips the pass that drops them.
  bool maybe_repeated = true;
  if (members.size() <= kInsertionSortLimit) {
    maybe_repeated = false;
    for (std::size_t i = 1; i < members.size(); ++i) {
      int order = members[i].key.compare(members[i - 1].key);
      if (order >= 0) {
        maybe_repeated |= order == 0;
        continue;
      }
      Member moving = std::move(members[i]);
      std::size_t j = i;
      do {
        members[j] = std::move(members[j - 1]);
        --j;
      } while (j > 0 && (order = moving.key.compare(members[j - 1].key)) < 0);
      maybe_repeated |= j > 0 && order == 0;
      members[j] = std::move(moving);
    }
  } else if (!std::is_sorted(members.begin(), members.end(), by_key)) {
    std::stable_sort(members.begin(), members.end(), by_key);
  }
  if (!maybe_repeated) return;
  // Drop all but the last of each run of equal keys, in place.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (kept > 0 && members[kept - 1].key == members[i].key) {
      members[kept - 1].value = std::move(members[i].value);
    } else {
      if (kept != i) members[kept] = std::move(members[i]);
      ++kept;
    }
  }
  members.resize(kept);
}

Object make_object(std::vector<Member> members) {
  sort_members(members);
  return members;
}

const JsonValue* find_member(const Object& object, std::string_view key) {
  // A handful of members are looked through in turn (a view's equality
  // passes over keys of another length without a look at their bytes).
  // Larger objects are searched by their order.
  constexpr std::size_t kLinearLookupLimit = 8;
  if (object.size() <= kLinearLookupLimit) {
    for (const Member& m : object) {
      if (std::string_view(m.key) == key) return &m.value;
    }
    return nullptr;
  }
  auto it = std::lower_bound(object.begin(), object.end(), key,
                             [](const Member& m, std::string_view k) { return std::string_view(m.key) < k; });
  if (it == object.end() || it->key != key) return nullptr;
  return &it->value;
}

}  // namespace orvex::json
