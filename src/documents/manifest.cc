#include "documents/manifest.h"

#include "documents/document_expectations.h"
#include "documents/struct_reader.h"
#include "documents/usual_entry.h"

namespace orvex::documents {
namespace {

constexpr std::size_t kFirstEntries = 16;

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
  json::Number number;
  if (!read_number_field(r, messages::kExpectedF64, number)) return false;
  out = number.to_double();
  return true;
}

// A name or key: viewed in place in the text when it has no escape,
// otherwise decoded into the manifest's own storage.
bool read_name(json::Reader& r, ProjectManifest& manifest, std::string& scratch, std::string_view& out) {
  r.skip_whitespace();
  if (r.at_end()) return r.fail_here(json::messages::kEofWhileParsingValue);
  if (r.peek() != '"') return r.fail_invalid_type(messages::kExpectedString);
  if (!r.read_key(out, scratch)) return false;
  if (out.data() == scratch.data()) out = manifest.decoded_names.emplace_front(std::move(scratch));
  return true;
}

// One named number: a mod surface or a weight table.
template <class Entry, class Name, class Number>
bool read_entries(json::Reader& r, const StructShape& shape, ProjectManifest& manifest, std::vector<Entry>& out,
                  Name name, Number number) {
  std::string scratch;
  return read_sequence(r, [&] {
    // Spare a small manifest the first few regrowths.
    if (out.empty()) out.reserve(kFirstEntries);
    Entry& entry = out.emplace_back();
    if (UsualEntry::read(r, shape.fields[0], shape.fields[1], entry.*name, entry.*number)) return true;
    return read_struct(r, shape, [&](int field) {
      return field == 0 ? read_name(r, manifest, scratch, entry.*name) : read_double(r, entry.*number);
    });
  });
}

}  // namespace

Result<ProjectManifest> read_manifest(std::string_view text) {
  return read_document<ProjectManifest>(text, [](json::Reader& r, ProjectManifest& d) {
    return read_struct(r, kManifestShape, [&](int field) {
      return field == 0 ? read_entries(r, kModSurfaceShape, d, d.mod_surfaces, &ModSurface::name,
                                       &ModSurface::weight)
                        : read_entries(r, kWeightTableShape, d, d.weight_tables, &WeightTable::key,
                                       &WeightTable::value);
    });
  });
}

}  // namespace orvex::documents
