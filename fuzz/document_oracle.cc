#include "document_oracle.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "json/reader.h"
#include "json/writer.h"

namespace orvex::fuzz {
namespace {

using json::JsonValue;
using json::NumberKind;
using json::Type;

// The values of a struct's fields in declaration order, from its object
// form (every field present) or its array form (exactly that many elements).
std::optional<std::vector<const JsonValue*>> struct_fields(const JsonValue& tree,
                                                          std::initializer_list<std::string_view> names) {
  std::vector<const JsonValue*> fields;
  if (tree.type() == Type::Object) {
    for (std::string_view name : names) {
      const JsonValue* v = json::find_member(tree.as_object(), name);
      if (v == nullptr) return std::nullopt;
      fields.push_back(v);
    }
    return fields;
  }
  if (tree.type() == Type::Array && tree.as_array().size() == names.size()) {
    for (const JsonValue& v : tree.as_array()) fields.push_back(&v);
    return fields;
  }
  return std::nullopt;
}

// `Text` is std::string or documents::FieldText (an owned copy).
template <class Text>
bool text_field(const JsonValue* v, Text& out) {
  if (v->type() != Type::String) return false;
  out = v->as_string();
  return true;
}

bool priority_field(const JsonValue* v, std::int32_t& out) {
  if (v->type() != Type::Number) return false;
  if (v->number_kind() == NumberKind::Unsigned && v->as_unsigned() <= 2147483647u) {
    out = static_cast<std::int32_t>(v->as_unsigned());
    return true;
  }
  if (v->number_kind() == NumberKind::Negative && v->as_negative() >= -2147483648LL) {
    out = static_cast<std::int32_t>(v->as_negative());
    return true;
  }
  return false;
}

bool double_field(const JsonValue* v, double& out) {
  if (v->type() != Type::Number) return false;
  switch (v->number_kind()) {
    case NumberKind::Unsigned: out = static_cast<double>(v->as_unsigned()); break;
    case NumberKind::Negative: out = static_cast<double>(v->as_negative()); break;
    case NumberKind::Float: out = v->as_float(); break;
  }
  return true;
}

std::optional<documents::Constraint> constraint_from_tree(const JsonValue& tree) {
  auto f = struct_fields(tree, {"attribute", "operator", "value", "priority"});
  if (!f) return std::nullopt;
  documents::Constraint c;
  if (!text_field((*f)[0], c.attribute) || !text_field((*f)[1], c.operator_text) ||
      !priority_field((*f)[3], c.priority)) {
    return std::nullopt;
  }
  c.value = *(*f)[2];
  return c;
}

bool entries_from_tree(const JsonValue* list, std::vector<NamedNumber>& out,
                       std::initializer_list<std::string_view> names) {
  if (list->type() != Type::Array) return false;
  for (const JsonValue& element : list->as_array()) {
    auto f = struct_fields(element, names);
    NamedNumber e;
    if (!f || !text_field((*f)[0], e.name) || !double_field((*f)[1], e.number)) return false;
    out.push_back(std::move(e));
  }
  return true;
}

bool same_entries(const std::vector<NamedNumber>& a, const std::vector<NamedNumber>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || std::memcmp(&a[i].number, &b[i].number, sizeof(double)) != 0) return false;
  }
  return true;
}

// Cursor before a value of a text known to be well-formed; leaves it past
// the value. True when the value holds an object with a repeated key.
bool value_repeats_key(json::Reader& r) {
  r.skip_whitespace();
  const unsigned char c = r.peek();
  if (c != '[' && c != '{') {
    json::JsonValue scalar;
    r.read_value(scalar);
    return false;
  }
  r.advance();
  std::set<std::string> keys;
  bool repeated = false;
  for (;;) {
    r.skip_whitespace();
    if (r.peek() == ']' || r.peek() == '}') break;
    if (r.peek() == ',') {
      r.advance();
      r.skip_whitespace();
    }
    if (c == '{') {
      std::string key;
      r.read_string(key);
      repeated |= !keys.insert(key).second;
      r.skip_whitespace();
      r.advance();  // ':'
    }
    repeated |= value_repeats_key(r);
  }
  r.advance();
  return repeated;
}

}  // namespace

bool has_repeated_key(std::string_view text) {
  json::Reader r(text);
  return value_repeats_key(r);
}

std::optional<documents::Intent> intent_from_tree(const JsonValue& tree) {
  auto f = struct_fields(tree, {"id", "objective", "mode", "version", "constraints"});
  if (!f) return std::nullopt;
  documents::Intent intent;
  if (!text_field((*f)[0], intent.id) || !text_field((*f)[2], intent.mode) ||
      !text_field((*f)[3], intent.version) || (*f)[4]->type() != Type::Array) {
    return std::nullopt;
  }
  const JsonValue* objective = (*f)[1];
  intent.objective = objective->type() == Type::String ? objective->as_string() : json::write_compact(*objective);
  for (const JsonValue& element : (*f)[4]->as_array()) {
    auto c = constraint_from_tree(element);
    if (!c) return std::nullopt;
    intent.constraints.push_back(std::move(*c));
  }
  return intent;
}

std::optional<json::Object> map_document_from_tree(const JsonValue& tree, std::string_view field) {
  auto f = struct_fields(tree, {field});
  if (!f || (*f)[0]->type() != Type::Object) return std::nullopt;
  return (*f)[0]->as_object();
}

std::optional<OwnedManifest> manifest_from_tree(const JsonValue& tree) {
  auto f = struct_fields(tree, {"ModSurfaces", "WeightTables"});
  if (!f) return std::nullopt;
  OwnedManifest m;
  if (!entries_from_tree((*f)[0], m.mod_surfaces, {"Name", "Weight"}) ||
      !entries_from_tree((*f)[1], m.weight_tables, {"Key", "Value"})) {
    return std::nullopt;
  }
  return m;
}

OwnedManifest owned_manifest(const documents::ProjectManifest& decoded) {
  OwnedManifest m;
  for (const auto& s : decoded.mod_surfaces) m.mod_surfaces.push_back({std::string(s.name), s.weight});
  for (const auto& t : decoded.weight_tables) m.weight_tables.push_back({std::string(t.key), t.value});
  return m;
}

bool same_object(const json::Object& a, const json::Object& b) {
  return json::write_compact(JsonValue::object(a)) == json::write_compact(JsonValue::object(b));
}

bool same_intent(const documents::Intent& a, const documents::Intent& b) {
  if (a.id != b.id || a.objective != b.objective || a.mode != b.mode || a.version != b.version ||
      a.constraints.size() != b.constraints.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.constraints.size(); ++i) {
    const documents::Constraint& x = a.constraints[i];
    const documents::Constraint& y = b.constraints[i];
    if (x.attribute != y.attribute || x.operator_text != y.operator_text || x.priority != y.priority ||
        json::write_compact(x.value) != json::write_compact(y.value)) {
      return false;
    }
  }
  return true;
}

bool same_manifest(const documents::ProjectManifest& decoded, const OwnedManifest& expected) {
  const OwnedManifest actual = owned_manifest(decoded);
  return same_entries(actual.mod_surfaces, expected.mod_surfaces) &&
         same_entries(actual.weight_tables, expected.weight_tables);
}

}  // namespace orvex::fuzz
