// Duplicate groups: a large folder, which estimates only neighbours along a
// few directions or in the neighbour lists, groups like the estimate of
// every pair; a group is led by its member most alike to the others, which the others are scored
// against.
#include "index/duplicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <tuple>

#include "index/ranking.h"
#include "index_fixture.h"
#include "retrieval/robust_similarity.h"

namespace {

class DuplicateGroupsBase : public IndexFixture {
 protected:
  void SetUp() override {
    IndexFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
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

  // The folder's pictures at threshold 0.9 on two threads.
  DuplicateRequest request() const {
    DuplicateRequest r;
    r.dir = folder.path();
    r.params = "test";
    r.threshold = 0.9;
    r.threads = 2;
    return r;
  }

  static std::set<std::set<std::string>> memberSets(const std::vector<DuplicateGroup>& found) {
    std::set<std::set<std::string>> out;
    for (const DuplicateGroup& g : found) {
      std::set<std::string> members;
      for (const ImageEntry& e : g.members) members.insert(e.path);
      out.insert(members);
    }
    return out;
  }

  std::set<std::set<std::string>> groups(std::size_t allPairsUpTo, std::size_t directions,
                                         std::size_t neighbours, std::size_t neighboursFrom = 0,
                                         std::int32_t mode = 2) {
    SignatureIndex index;
    open(index);
    DuplicateRequest r = request();
    r.colorMode = mode;
    r.allPairsUpTo = allPairsUpTo;
    r.directions = directions;
    r.neighbours = neighbours;
    r.neighboursFrom = neighboursFrom;
    std::vector<DuplicateGroup> found;
    std::string error;
    EXPECT_TRUE(FindDuplicates(index, r, found, error)) << error;
    return memberSets(found);
  }
};
using DuplicateGroups = OnBothIndexes<DuplicateGroupsBase>;
FOLIM_ON_BOTH_INDEXES(DuplicateGroups);

TEST_P(DuplicateGroups, NeighboursAlongDirectionsFindTheGroupsOfEveryPair) {
  const std::set<std::set<std::string>> everyPair = groups(1000, 16, 32);
  EXPECT_EQ(everyPair.size(), 12u);
  for (const auto& g : everyPair) EXPECT_EQ(g.size(), 2u);
  EXPECT_EQ(groups(0, 8, 3), everyPair);
  // With no neighbour to look at, nothing is compared.
  EXPECT_TRUE(groups(0, 8, 0).empty());
}

// With the neighbour lists the candidates come from them.
TEST_P(DuplicateGroups, TheNeighbourListsFindTheGroupsOfEveryPair) {
  // The robust measure reads the relative lists besides the default ones.
  for (const std::int32_t mode : {2, kRobustColorMode}) {
    const std::set<std::set<std::string>> everyPair = groups(1000, 16, 32, 0, mode);
    EXPECT_EQ(everyPair.size(), 12u) << mode;
    EXPECT_EQ(groups(0, 8, 3, 0, mode), everyPair) << mode;
    EXPECT_EQ(groups(0, 8, 2, 1, mode), everyPair) << mode;
    EXPECT_TRUE(groups(0, 8, 0, 1, mode).empty()) << mode;
  }
  SignatureIndex index;
  open(index);
  EXPECT_TRUE(std::filesystem::exists(index.NeighbourFile("test", 0) + "-relative"));
}

// Two copies whose stored signature is damaged the same way (so decoded
// once for both) are listed as damaged and left out; the rest group as
// before.
TEST_P(DuplicateGroups, CopiesWhoseSignatureIsDamagedAreListedAndLeftOut) {
  const std::set<std::set<std::string>> before = groups(1000, 16, 32);
  std::vector<std::int64_t> ids;
  {
    SignatureIndex index;
    open(index);
    for (const char* copy : {"a", "b"}) {
      IndexRow row;
      ASSERT_TRUE(index.Find(folder.file(copy + std::string("3.jpg")), "test", row));
      ids.push_back(row.id);
    }
  }
  const std::string which = "(" + std::to_string(ids[0]) + ", " + std::to_string(ids[1]) + ")";
  runOnIndex(
      "UPDATE signatures SET data = substr(data, 1, 60) WHERE id IN " + which,
      "UPDATE folim.signatures SET data = substring(data from 1 for 60) WHERE id IN " + which);
  for (const std::size_t inMemory : {2, 512}) {
    SignatureIndex index;
    open(index);
    DuplicateRequest r = request();
    r.inMemory = inMemory;
    std::vector<DuplicateGroup> found;
    std::vector<std::int64_t> damaged;
    std::string error;
    ASSERT_TRUE(FindDuplicates(index, r, found, error, &damaged)) << error;
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(damaged, ids) << inMemory;
    const std::set<std::set<std::string>> after = memberSets(found);
    std::set<std::set<std::string>> expected = before;
    expected.erase({folder.file("a3.jpg"), folder.file("b3.jpg")});
    EXPECT_EQ(expected.size(), before.size() - 1);
    EXPECT_EQ(after, expected) << inMemory;
  }
}

// However few signatures are held at once, and whether a part of the pairs
// is loaded whole or in slices, the groups, their leads, order and scores
// are the same.
TEST_P(DuplicateGroups, AreTheSameHoweverFewSignaturesAreHeld) {
  const auto find = [this](std::size_t inMemory, std::size_t allPairsUpTo) {
    SignatureIndex index;
    open(index);
    DuplicateRequest r = request();
    r.threshold = 0.5;  // low enough to chain different pictures into groups
    r.allPairsUpTo = allPairsUpTo;
    r.directions = 4;
    r.neighbours = 3;
    r.inMemory = inMemory;
    std::vector<DuplicateGroup> found;
    std::string error;
    EXPECT_TRUE(FindDuplicates(index, r, found, error)) << error;
    const auto signatureOf = [&index](const std::string& path) {
      IndexRow row;
      Signature s;
      EXPECT_TRUE(index.Find(path, "test", row) && index.LoadSignature(row.id, s)) << path;
      return s;
    };
    std::vector<std::vector<std::tuple<std::string, double, double, double>>> out;
    for (const DuplicateGroup& g : found) {
      out.emplace_back();
      const Signature lead = signatureOf(g.members.front().path);
      for (const ImageEntry& e : g.members) {
        ImageEntry expected;
        ScoreSignature(lead, signatureOf(e.path), 2, 0.7, expected);
        EXPECT_EQ(e.score, expected.score) << e.path << ", " << inMemory << " held";
        out.back().emplace_back(e.path, e.score, e.edgeSimilarity, e.colorSimilarity);
      }
    }
    return out;
  };
  for (const std::size_t allPairsUpTo : {std::size_t{1000}, std::size_t{0}}) {
    const auto whole = find(512, allPairsUpTo);
    ASSERT_FALSE(whole.empty());
    std::size_t largest = 0;
    for (const auto& g : whole) largest = std::max(largest, g.size());
    EXPECT_GT(largest, 3u) << "no group chains pictures: the slices are not exercised";
    for (const std::size_t inMemory : {2, 3, 5, 7})
      EXPECT_EQ(find(inMemory, allPairsUpTo), whole) << inMemory << " held, " << allPairsUpTo;
  }
}

// s with count of its bases, from first on, those of other.
Signature withBasesOf(Signature s, const Signature& other, std::uint32_t first,
                      std::uint32_t count) {
  for (std::uint32_t r = first; r < first + count; ++r)
    for (std::uint32_t c = 0; c < s.bases.cols(); ++c) s.bases[r][c] = other.bases[r][c];
  ComputeBaseNorms(s);
  return s;
}

// One picture and two edits of it, each edit more like the picture than like
// the other; the names put the picture last and the closer edit between.
class GroupLeaderBase : public IndexFixture {};
using GroupLeader = OnBothIndexes<GroupLeaderBase>;
FOLIM_ON_BOTH_INDEXES(GroupLeader);

TEST_P(GroupLeader, IsTheMemberMostAlikeToTheOthersAndScoresThem) {
  const Signature centre = signatureOf(1);
  const std::vector<std::pair<std::string, Signature>> members = {
      {folder.file("c-centre.jpg"), centre},
      {folder.file("b-near.jpg"), withBasesOf(centre, signatureOf(2), 0, 3)},
      {folder.file("a-far.jpg"), withBasesOf(centre, signatureOf(3), 12, 6)}};
  SignatureIndex index;
  open(index);
  ASSERT_TRUE(index.Begin());
  for (const auto& [path, signature] : members)
    ASSERT_TRUE(index.Put(path, "test", stampOf(1, 1), 0, &signature));
  ASSERT_TRUE(index.Commit());
  auto scored = [](const Signature& a, const Signature& b) {
    ImageEntry e;
    ScoreSignature(a, b, 2, 0.7, e);
    return e;
  };
  const double edits = scored(members[1].second, members[2].second).score;
  ASSERT_LT(edits, scored(centre, members[2].second).score);
  ASSERT_LT(scored(centre, members[2].second).score, scored(centre, members[1].second).score);

  DuplicateRequest r;
  r.dir = folder.path();
  r.params = "test";
  std::vector<DuplicateGroup> groups;
  std::string error;
  ASSERT_TRUE(FindDuplicates(index, r, groups, error)) << error;
  ASSERT_EQ(groups.size(), 1u);
  ASSERT_EQ(groups[0].members.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const ImageEntry& e = groups[0].members[i];
    const ImageEntry expected = scored(centre, members[i].second);
    EXPECT_EQ(e.path, members[i].first) << i;
    EXPECT_EQ(e.score, expected.score) << i;
    EXPECT_EQ(e.edgeSimilarity, expected.edgeSimilarity) << i;
    EXPECT_EQ(e.colorSimilarity, expected.colorSimilarity) << i;
  }
  EXPECT_EQ(groups[0].members[0].score, 1.0);
}

}  // namespace
