#include "documents/manifest.h"

#include "documents/messages.h"
#include "documents/struct_reader.h"

namespace orvex::documents {
namespace {

constexpr std::string_view kManifestFields[] = {"ModSurfaces", "WeightTables"};
constexpr std::string_view kModSurfaceFields[] = {"Name", "Weight"};
constexpr std::string_view kWeightTableFields[] = {"Key", "Value"};

constexpr StructShape kManifestShape{kManifestFields, 2, messages::kProjectManifest,
                                     messages::kProjectManifestLength};
constexpr StructShape kModSurfaceShape{kModSurfaceFields, 2, messages::kModSurface, messages::kModSurfaceLength};
constexpr StructShape kWeightTableShape{kWeightTableFields, 2, messages::kWeightTable,
                                        messages::kWeightTableLength};

// Any JSON number as a double: integers converted to the nearest double,
// floats as read.
bool read_double(json::Reader& r, double& out) {
  json::JsonValue number;
  if (!read_number_field(r, messages::kExpectedF64, number)) return false;
  switch (number.number_kind()) {
    case json::NumberKind::Unsigned: out = static_cast<double>(number.as_unsigned()); break;
    case json::NumberKind::Negative: out = static_cast<double>(number.as_negative()); break;
    case json::NumberKind::Float: out = number.as_float(); break;
  }
  return true;
}

// One named number: a mod surface or a weight table.
template <class Entry, class Name, class Number>
bool read_entry(json::Reader& r, const StructShape& shape, Entry& entry, Name name, Number number) {
  return read_struct(r, shape, [&](int field) {
    return field == 0 ? read_text(r, entry.*name) : read_double(r, entry.*number);
  });
}

template <class Entry, class Name, class Number>
bool read_entries(json::Reader& r, const StructShape& shape, std::vector<Entry>& out, Name name, Number number) {
  return read_sequence(r, [&] {
    out.emplace_back();
    return read_entry(r, shape, out.back(), name, number);
  });
}

}  // namespace

Result<ProjectManifest> read_manifest(std::string_view text) {
  return read_document<ProjectManifest>(text, [](json::Reader& r, ProjectManifest& d) {
    return read_struct(r, kManifestShape, [&](int field) {
      return field == 0
                 ? read_entries(r, kModSurfaceShape, d.mod_surfaces, &ModSurface::name, &ModSurface::weight)
                 : read_entries(r, kWeightTableShape, d.weight_tables, &WeightTable::key, &WeightTable::value);
    });
  });
}

}  // namespace orvex::documents
