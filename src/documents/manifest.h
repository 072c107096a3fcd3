// The project manifest from which the logic fingerprint is computed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace orvex::documents {

struct ModSurface {
  std::string name;
  double weight = 0.0;
};

struct WeightTable {
  std::string key;
  double value = 0.0;
};

struct ProjectManifest {
  std::vector<ModSurface> mod_surfaces;    // document order
  std::vector<WeightTable> weight_tables;  // document order
};

// The manifest, or a failure whose message is the reading error's text
// ("<message> at line L column C").
Result<ProjectManifest> read_manifest(std::string_view text);

}  // namespace orvex::documents
