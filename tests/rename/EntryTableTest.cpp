#include "rename/EntryTable.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// Random inserts, lookups and erasures over few distinct names (so that
// probe runs, erased slots and reused slots all occur) agree with a map.
TEST(EntryTableTest, FollowsAMapThroughInsertsAndErasures) {
  std::mt19937 random(5);
  for (int round = 0; round < 20; ++round) {
    const std::size_t count = 1 + random() % 300;
    std::vector<std::string> names(count);
    for (std::string& name : names) name = "n" + std::to_string(random() % (count / 2 + 1));
    EntryTable table(count);
    std::unordered_map<std::string, std::size_t> model;
    const auto same = [&](std::size_t i) { return [&, i](std::size_t j) { return names[j] == names[i]; }; };
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t hash = EntryTable::Hash(names[i]);
      if (random() % 3 == 0) {
        const auto found = model.find(names[i]);
        EXPECT_EQ(table.Erase(hash, same(i)), found == model.end() ? EntryTable::kNone : found->second);
        if (found != model.end()) model.erase(found);
      } else {
        EXPECT_EQ(table.Insert(hash, i, same(i)), model.try_emplace(names[i], i).first->second);
      }
      EXPECT_EQ(table.Find(hash, same(i)), model.count(names[i]) ? model[names[i]] : EntryTable::kNone);
      ASSERT_EQ(table.size(), model.size());
    }
    std::set<std::size_t> listed, expected;
    table.ForEach([&](std::size_t i) { listed.insert(i); });
    for (const auto& [name, i] : model) expected.insert(i);
    EXPECT_EQ(listed, expected);
  }
}
