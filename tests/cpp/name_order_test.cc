// The name order against a plain stable sort of the same names, on lists
// made to break a radix sort: names that end inside an eight-byte window
// ("a" against "a\0"), zero and 0xFF bytes, duplicates, empty names, long
// and very long shared prefixes, deep ties, and lengths around every
// threshold the sort has.
#include "fingerprint/name_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::fingerprint {
namespace {

struct Named {
  std::string_view name;
  double weight = 0.0;  // makes the stride differ from a bare string_view's
};

// The model: indices stably sorted by the names' bytes.
std::vector<std::size_t> plain_stable_order(const std::vector<std::string>& names) {
  std::vector<std::size_t> order(names.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return std::string_view(names[a]) < std::string_view(names[b]); });
  return order;
}

std::vector<std::size_t> name_order(const std::vector<std::string>& names, NameOrder& order) {
  std::vector<Named> entries;
  for (const std::string& n : names) entries.push_back({n, 0.0});
  order.sort(NameColumn::of(entries, &Named::name));
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < order.size(); ++i) indices.push_back(order[i]);
  return indices;
}

// Runs the comparison and names the first list that differs.
void expect_model_order(const std::vector<std::string>& names, NameOrder& order, const std::string& what) {
  const std::vector<std::size_t> expected = plain_stable_order(names);
  const std::vector<std::size_t> actual = name_order(names, order);
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(actual[i], expected[i]) << what << ": " << names.size() << " names, first difference at " << i;
  }
}

// Lengths at and around every threshold: the insertion limit of a list, the
// insertion limit of a tied run, a few radix-sized runs.
std::vector<std::size_t> threshold_sizes() {
  std::vector<std::size_t> sizes = {0, 1, 2, 3, 100, 257, 1000};
  for (std::size_t limit : {kInsertionSortLimit, kTieInsertionLimit}) {
    for (std::size_t s = limit - 2; s <= limit + 2; ++s) sizes.push_back(s);
  }
  return sizes;
}

// Bytes that matter to a radix sort: zero (the padding's value), one, the
// top of each half, and the maximum.
constexpr char kEdgeBytes[] = {'\0', '\1', 'a', 'b', '\x7f', '\x80', '\xff'};

std::string edge_bytes(std::mt19937_64& rng, std::size_t length) {
  std::string s;
  for (std::size_t i = 0; i < length; ++i) s += kEdgeBytes[rng() % sizeof kEdgeBytes];
  return s;
}

TEST(NameOrder, ExampleOrders) {
  NameOrder order;
  const std::vector<std::string> names = {"b", "a", "ab", "B", "", "a", std::string("a\0", 2), "\xc3\xa9", "a"};
  EXPECT_EQ(name_order(names, order), (std::vector<std::size_t>{4, 3, 1, 5, 8, 6, 2, 0, 7}));
}

// A name that ends inside the eight bytes, against the same name followed
// by zero bytes: the shorter first, wherever the window boundary falls.
TEST(NameOrder, NamesEndingInsideTheWindowComeBeforeTheirZeroExtensions) {
  NameOrder order;
  for (std::size_t prefix : {0, 1, 7, 8, 9, 15, 16, 17}) {
    for (std::size_t count : {std::size_t{5}, std::size_t{40}}) {
      std::vector<std::string> names;
      for (std::size_t i = 0; i < count; ++i) {
        // Longest first, so that the order must reverse the list.
        names.push_back(std::string(prefix, 'p') + std::string(count - 1 - i, '\0'));
      }
      expect_model_order(names, order, "zero extensions after a prefix of " + std::to_string(prefix));
    }
  }
}

TEST(NameOrder, RandomEdgeByteNamesAtEveryThreshold) {
  std::mt19937_64 rng(20260301);
  NameOrder order;
  for (int round = 0; round < 40; ++round) {
    for (std::size_t size : threshold_sizes()) {
      const std::size_t max_length = 1 + rng() % 20;
      std::vector<std::string> names;
      for (std::size_t i = 0; i < size; ++i) names.push_back(edge_bytes(rng, rng() % (max_length + 1)));
      expect_model_order(names, order, "edge bytes, round " + std::to_string(round));
    }
  }
}

// Few distinct names, many copies: stability is all that orders them.
TEST(NameOrder, DuplicatesKeepListOrder) {
  std::mt19937_64 rng(7);
  NameOrder order;
  for (std::size_t size : threshold_sizes()) {
    for (std::size_t distinct : {1, 2, 3, 30}) {
      std::vector<std::string> pool;
      for (std::size_t i = 0; i < distinct; ++i) pool.push_back(edge_bytes(rng, rng() % 12));
      std::vector<std::string> names;
      for (std::size_t i = 0; i < size; ++i) names.push_back(pool[rng() % distinct]);
      expect_model_order(names, order, "duplicates from " + std::to_string(distinct));
    }
  }
}

// A prefix every name shares, of lengths around the window and far beyond
// it (100 KB), then short random tails.
TEST(NameOrder, SharedPrefixes) {
  std::mt19937_64 rng(11);
  NameOrder order;
  for (std::size_t prefix : {1, 7, 8, 9, 16, 17, 100, 100 * 1024}) {
    const std::string shared(prefix, 's');
    for (std::size_t size : {std::size_t{3}, kInsertionSortLimit + 1, kTieInsertionLimit + 1, std::size_t{300}}) {
      std::vector<std::string> names;
      for (std::size_t i = 0; i < size; ++i) names.push_back(shared + edge_bytes(rng, rng() % 10));
      expect_model_order(names, order, "shared prefix of " + std::to_string(prefix));
    }
  }
}

// Groups within groups: names that agree in clusters on long stretches, so
// that runs stay tied for many windows, at many sizes of run.
TEST(NameOrder, DeepTies) {
  std::mt19937_64 rng(13);
  NameOrder order;
  for (int round = 0; round < 30; ++round) {
    std::vector<std::string> stems;
    for (int i = 0; i < 4; ++i) stems.push_back(edge_bytes(rng, rng() % 40));
    std::vector<std::string> names;
    const std::size_t size = 20 + rng() % 400;
    for (std::size_t i = 0; i < size; ++i) {
      std::string name;
      const int parts = 1 + static_cast<int>(rng() % 5);
      for (int p = 0; p < parts; ++p) name += stems[rng() % stems.size()];
      names.push_back(name + edge_bytes(rng, rng() % 3));
    }
    expect_model_order(names, order, "clustered stems, round " + std::to_string(round));
  }
  // A staircase: a^k b for every k, each a prefix level deeper than the last.
  std::vector<std::string> stairs;
  for (std::size_t k = 0; k < 600; ++k) stairs.push_back(std::string(k, 'a') + (k % 3 == 0 ? "b" : ""));
  std::shuffle(stairs.begin(), stairs.end(), rng);
  expect_model_order(stairs, order, "staircase");
}

// Text-like names, a few of them non-ASCII, in lists long enough for many
// tied runs of every size.
TEST(NameOrder, ManifestLikeNames) {
  std::mt19937_64 rng(17);
  NameOrder order;
  const std::string areas[] = {"combat", "economy", "ui", "world", "\xc3\xa9p\xc3\xa9\x65"};
  const std::string knobs[] = {"damage_scale", "reload", "damage", "\xc3\xbc\x62\x65r_bonus", ""};
  std::vector<std::string> names;
  for (int i = 0; i < 20000; ++i) {
    names.push_back(areas[rng() % 5] + "." + knobs[rng() % 5] + "_" + std::to_string(rng() % 3000));
  }
  expect_model_order(names, order, "manifest-like names");
  names.clear();
  for (int i = 0; i < 20000; ++i) names.push_back("surface_" + std::to_string(100000000 + rng() % 900000000));
  expect_model_order(names, order, "surface_ and nine digits");
}

// The same working space serves lists of every size in turn, as it does
// the two lists of one manifest.
TEST(NameOrder, WorkingSpaceReusedAcrossSizes) {
  std::mt19937_64 rng(19);
  NameOrder order;
  for (std::size_t size : {500, 3, 21, 0, 1000, 20, 25}) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < size; ++i) names.push_back(edge_bytes(rng, rng() % 9));
    expect_model_order(names, order, "reused working space");
  }
}

// In a manifest the names are seen in place inside its text, so the byte
// after a name is the text's next byte (a closing quote), not a zero as in
// a std::string of its own: the sort must never look past a name's end.
TEST(NameOrder, NamesSeenInsideOneText) {
  NameOrder order;
  std::mt19937 random(5);
  for (std::size_t size : threshold_sizes()) {
    // Each name is followed by a byte above every byte the names hold, so
    // a name read one byte too far sorts after its longer neighbours.
    std::string text;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t i = 0; i < size; ++i) {
      std::string name(random() % 11, 'a');
      for (char& c : name) c = static_cast<char>('a' + random() % 3);
      spans.push_back({text.size(), name.size()});
      text += name;
      text += '\xff';
    }
    std::vector<std::string> names;
    std::vector<Named> entries;
    for (const auto& [at, length] : spans) {
      names.push_back(text.substr(at, length));
      entries.push_back({std::string_view(text).substr(at, length), 0.0});
    }
    order.sort(NameColumn::of(entries, &Named::name));
    const std::vector<std::size_t> expected = plain_stable_order(names);
    ASSERT_EQ(order.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(order[i], expected[i]) << size << " names, at " << i;
  }
}

}  // namespace
}  // namespace orvex::fingerprint
