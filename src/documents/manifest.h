// The project manifest from which the logic fingerprint is computed.
#pragma once

#include <forward_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace orvex::documents {

// Names and keys are views: into the manifest text when written without
// escapes (a manifest may be gigabytes; its names are not copied), or into
// the manifest's own decoded_names otherwise.
struct ModSurface {
  std::string_view name;
  double weight = 0.0;
};

struct WeightTable {
  std::string_view key;
  double value = 0.0;
};

struct ProjectManifest {
  std::vector<ModSurface> mod_surfaces;    // document order
  std::vector<WeightTable> weight_tables;  // document order
  // Names that held escapes, decoded. A list, so that growing it never
  // moves the texts that entries view (and an empty one costs nothing).
  std::forward_list<std::string> decoded_names;
};

// The manifest, or a failure whose message is the reading error's text
// ("<message> at line L column C").
// REQUIRES: `text` outlives the manifest, whose names may view into it.
Result<ProjectManifest> read_manifest(std::string_view text);

}  // namespace orvex::documents
