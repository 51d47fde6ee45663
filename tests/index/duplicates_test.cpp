// Duplicate groups: a large folder, which estimates only neighbours along a
// few directions, groups like the estimate of every pair.
#include "index/duplicates.h"

#include <gtest/gtest.h>

#include <set>

#include "index_fixture.h"

namespace {

class DuplicateGroups : public IndexFixture {
 protected:
  void SetUp() override {
    // Twelve signatures, each under two names.
    SignatureIndex index;
    open(index);
    ASSERT_TRUE(index.Begin());
    for (unsigned i = 0; i < 12; ++i) {
      Signature s;
      ASSERT_EQ(ReadRimSignature(writeRim("d" + std::to_string(i) + ".rim", i), s),
                status::Success);
      for (const char* copy : {"a", "b"})
        ASSERT_TRUE(index.Put(folder.file(copy + std::to_string(i) + ".jpg"), "test", stampOf(1, 1),
                              0, &s));
    }
    ASSERT_TRUE(index.Commit());
  }

  std::set<std::set<std::string>> groups(std::size_t allPairsUpTo, std::size_t directions,
                                         std::size_t neighbours) {
    SignatureIndex index;
    open(index);
    DuplicateRequest r;
    r.dir = folder.path();
    r.params = "test";
    r.threshold = 0.9;
    r.threads = 2;
    r.allPairsUpTo = allPairsUpTo;
    r.directions = directions;
    r.neighbours = neighbours;
    std::vector<DuplicateGroup> found;
    std::string error;
    EXPECT_TRUE(FindDuplicates(index, r, found, error)) << error;
    std::set<std::set<std::string>> out;
    for (const DuplicateGroup& g : found) {
      std::set<std::string> members;
      for (const ImageEntry& e : g.members) members.insert(e.path);
      out.insert(members);
    }
    return out;
  }
};

TEST_F(DuplicateGroups, NeighboursAlongDirectionsFindTheGroupsOfEveryPair) {
  const std::set<std::set<std::string>> everyPair = groups(1000, 16, 32);
  EXPECT_EQ(everyPair.size(), 12u);
  for (const auto& g : everyPair) EXPECT_EQ(g.size(), 2u);
  EXPECT_EQ(groups(0, 8, 3), everyPair);
  // With no neighbour to look at, nothing is compared.
  EXPECT_TRUE(groups(0, 8, 0).empty());
}

}  // namespace
