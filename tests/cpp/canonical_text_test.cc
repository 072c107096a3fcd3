// The canonical text against a plain model: copies of both lists stably
// sorted by name, each entry written with printf's "%.6f". The lists cross
// the sizes where the sort and the chunked writer change method.
#include "fingerprint/canonical_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace orvex::fingerprint {
namespace {

struct Entry {
  std::string name;
  double number;
};

std::string model_text(std::vector<Entry> surfaces, std::vector<Entry> tables) {
  std::string text;
  for (std::vector<Entry>* list : {&surfaces, &tables}) {
    std::stable_sort(list->begin(), list->end(),
                     [](const Entry& a, const Entry& b) { return std::string_view(a.name) < std::string_view(b.name); });
    for (const Entry& e : *list) {
      char number[512];
      std::snprintf(number, sizeof number, "%.6f", e.number);
      text += e.name + ":" + number + ";";
    }
  }
  return text;
}

std::string product_text(const std::vector<Entry>& surfaces, const std::vector<Entry>& tables) {
  documents::ProjectManifest manifest;
  for (const Entry& e : surfaces) manifest.mod_surfaces.push_back({e.name, e.number});
  for (const Entry& e : tables) manifest.weight_tables.push_back({e.name, e.number});
  return canonical_text(manifest);
}

std::vector<Entry> random_entries(std::mt19937_64& rng, std::size_t count, std::size_t name_length) {
  const char alphabet[] = {'a', 'b', '.', '_', '\0', '\xc3', '\xa9'};
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    std::string name = "surface_";
    const std::size_t length = rng() % (name_length + 1);
    for (std::size_t j = 0; j < length; ++j) name += alphabet[rng() % sizeof alphabet];
    entries.push_back({name, std::uniform_real_distribution<double>(-1e3, 1e3)(rng)});
  }
  return entries;
}

TEST(CanonicalText, MatchesTheModelAcrossSizes) {
  std::mt19937_64 rng(23);
  for (std::size_t count : {0, 1, 19, 20, 21, 25, 1000, 30000}) {
    for (std::size_t name_length : {3, 40}) {
      const std::vector<Entry> surfaces = random_entries(rng, count, name_length);
      const std::vector<Entry> tables = random_entries(rng, count / 2 + 1, name_length);
      ASSERT_EQ(product_text(surfaces, tables), model_text(surfaces, tables))
          << count << " entries, names up to " << name_length;
    }
  }
}

// Names longer than a whole chunk of text go to the sink on their own.
TEST(CanonicalText, NamesLongerThanAChunk) {
  std::mt19937_64 rng(29);
  std::vector<Entry> surfaces = random_entries(rng, 100, 10);
  surfaces.push_back({std::string(70 * 1024, 'z'), 1.5});
  surfaces.push_back({std::string(70 * 1024, 'z') + "a", -0.0});
  surfaces.push_back({std::string(200 * 1024, 'a'), 1e21});
  std::shuffle(surfaces.begin(), surfaces.end(), rng);
  const std::vector<Entry> tables = {{std::string(70 * 1024, 'k'), 2.0}};
  EXPECT_EQ(product_text(surfaces, tables), model_text(surfaces, tables));
}

// The lists are read, not reordered.
TEST(CanonicalText, LeavesTheManifestAsItWas) {
  documents::ProjectManifest manifest;
  for (const char* name : {"b", "a", "c"}) manifest.mod_surfaces.push_back({name, 1.0});
  EXPECT_EQ(canonical_text(manifest), "a:1.000000;b:1.000000;c:1.000000;");
  EXPECT_EQ(manifest.mod_surfaces[0].name, "b");
  EXPECT_EQ(manifest.mod_surfaces[1].name, "a");
}

}  // namespace
}  // namespace orvex::fingerprint
