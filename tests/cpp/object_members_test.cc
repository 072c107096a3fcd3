// An object's members end in ascending byte order of their keys, the last
// written of each key winning: checked against an ordered map on random
// member lists, small ones (insertion sort, which also tells whether any key
// repeats) and large ones (stable sort).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "json/value.h"

namespace orvex::json {
namespace {

using Model = std::map<std::string, std::uint64_t>;

// `count` members with keys drawn from `keys`, member i holding the number
// i, and the ordered map of what an object of them must hold.
template <std::size_t N>
void written_at_random(const std::string (&keys)[N], std::size_t count, std::mt19937& random,
                       std::vector<Member>& members, Model& model) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& key = keys[random() % N];
    members.push_back(Member{key, JsonValue::unsigned_integer(i)});
    model[key] = i;
  }
}

TEST(ObjectMembers, SortedWithTheLastOfEachKeyLikeAnOrderedMap) {
  // Keys that share prefixes, an empty one, and high bytes that must sort
  // above ASCII.
  const std::string keys[] = {"", "a", "ab", "b", "ba", "amount", "currency", "vendor", "\xC3\xA9", "z"};
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    // Mostly small objects, some beyond the insertion sort's limit.
    const std::size_t count = round % 10 == 0 ? 17 + random() % 20 : random() % 9;
    std::vector<Member> members;
    Model model;
    written_at_random(keys, count, random, members, model);
    const std::vector<Member> written = members;
    sort_members(members);
    ASSERT_EQ(members.size(), model.size()) << "round " << round;
    std::size_t at = 0;
    for (const auto& [key, index] : model) {
      ASSERT_EQ(members[at].key, key) << "round " << round;
      ASSERT_EQ(members[at].value.as_unsigned(), index) << "round " << round;
      ++at;
    }
    // make_object is the same procedure on a copy.
    const Object made = make_object(written);
    ASSERT_EQ(made.size(), members.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
      ASSERT_EQ(made[i].key, members[i].key);
      ASSERT_EQ(made[i].value.as_unsigned(), members[i].value.as_unsigned());
    }
  }
}

TEST(ObjectMembers, RepeatsFoundWhereverTheyMeet) {
  struct Case {
    std::vector<std::string> keys;
    std::string expected;  // key=index of the member kept, in order
  };
  const Case cases[] = {
      {{"a", "a"}, "a=1"},
      {{"b", "a", "b"}, "a=1 b=2"},          // the repeat meets its twin where it stops
      {{"b", "c", "a", "b"}, "a=2 b=3 c=1"},  // after shifting past a larger key
      {{"c", "b", "a", "a"}, "a=3 b=1 c=0"},
      {{"a", "b", "c"}, "a=0 b=1 c=2"},
      {{"c", "b", "a"}, "a=2 b=1 c=0"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    std::vector<Member> members;
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      members.push_back(Member{c.keys[i], JsonValue::unsigned_integer(i)});
    }
    sort_members(members);
    std::string shown;
    for (const Member& m : members) {
      if (!shown.empty()) shown += ' ';
      shown += m.key + "=" + std::to_string(m.value.as_unsigned());
    }
    EXPECT_EQ(shown, c.expected);
  }
}

// Lookup by walking a handful of members and by searching a larger object
// in order must agree with an ordered map, for keys present and absent,
// of the same length as others or not.
TEST(ObjectMembers, LookupFindsExactlyTheKeysPresent) {
  const std::string keys[] = {"", "a", "b", "ab", "ba", "abc", "amount", "vendor", "values", "\xC3\xA9", "z", "zz"};
  std::mt19937 random(11);
  for (int round = 0; round < 5000; ++round) {
    const std::size_t count = random() % 24;  // both sides of the walk's limit
    std::vector<Member> members;
    Model model;
    written_at_random(keys, count, random, members, model);
    const Object object = make_object(std::move(members));
    for (const std::string& key : keys) {
      const JsonValue* found = find_member(object, key);
      const auto expected = model.find(key);
      if (expected == model.end()) {
        EXPECT_EQ(found, nullptr) << "round " << round << " key " << key;
      } else {
        ASSERT_NE(found, nullptr) << "round " << round << " key " << key;
        EXPECT_EQ(found->as_unsigned(), expected->second) << "round " << round << " key " << key;
      }
    }
    EXPECT_EQ(find_member(object, "absent"), nullptr);
    EXPECT_EQ(find_member(object, std::string_view("a\0", 2)), nullptr);  // "a" and one byte more
  }
}

}  // namespace
}  // namespace orvex::json
