// The index keeps the signatures of real pictures exactly: rankings of the
// indexed example pictures are, score for score and bit for bit, the
// rankings of the signatures learned from the files, although the index
// stores them deflated.
#include <gtest/gtest.h>

#include <filesystem>

#include "imageio/signature_source.h"
#include "index/ranking.h"
#include "index/signature_blob.h"
#include "numeric/trace.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::examplesPath;
using testing_support::TempDir;

namespace {

struct Learned {
  std::string path;
  Signature signature;
};

const std::string& examplesFolder() {
  static const std::string dir = fs::path(examplesPath("aqua.jpg")).parent_path().string();
  return dir;
}

// Learned once for the whole suite: learning is the slow part.
const std::vector<Learned>& learnedExamples() {
  static const std::vector<Learned> learned = [] {
    std::vector<Learned> out;
    TraceTarget quiet(nullptr);
    const SignatureParameters parameters = currentSignatureParameters();
    for (const std::string& path : listIndexablePictures(examplesFolder(), false)) {
      Learned l{path, {}};
      EXPECT_EQ(FileSignature(path, parameters, l.signature), status::Success) << path;
      out.push_back(std::move(l));
    }
    return out;
  }();
  return learned;
}

class StoredSignature : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(learnedExamples().size(), 8u);
    std::string notice, error;
    ASSERT_TRUE(index.Open(store.file("index.sqlite"), notice, error)) << error;
    ASSERT_TRUE(index.Begin());
    FileStamp stamp;
    stamp.size = stamp.mtime = 1000;
    for (const Learned& l : learnedExamples())
      ASSERT_TRUE(index.Put(l.path, "test", stamp, 0, &l.signature)) << index.lastError();
    ASSERT_TRUE(index.Commit());
  }

  Signature stored(const std::string& path) {
    IndexRow row;
    Signature s;
    EXPECT_TRUE(index.Find(path, "test", row)) << path;
    EXPECT_TRUE(index.LoadSignature(row.id, s)) << path;
    return s;
  }

  TempDir store;
  SignatureIndex index;
};

TEST_F(StoredSignature, ReadsBackEveryFieldExactlyFromFewerBytes) {
  for (const Learned& l : learnedExamples()) {
    const std::vector<std::uint8_t> plain = EncodePlainSignature(l.signature);
    EXPECT_EQ(EncodePlainSignature(stored(l.path)), plain) << l.path;
    // Deflating is what makes the entry smaller: real bases are far from
    // uniform bytes.
    EXPECT_LT(EncodeSignature(l.signature).size() * 100, plain.size() * 85) << l.path;
  }
}

TEST_F(StoredSignature, RankingsAreThoseOfTheLearnedSignaturesBitForBit) {
  const std::vector<Learned>& learned = learnedExamples();
  for (std::size_t which = 0; which < learned.size(); ++which) {
    const Learned& query = learned[which];
    for (const std::int32_t mode : {0, 1, 2}) {
      std::vector<ImageEntry> expected;
      for (const Learned& target : learned) {
        if (target.signature.learningMethod != query.signature.learningMethod) continue;
        ImageEntry e;
        e.path = target.path;
        ScoreSignature(query.signature, target.signature, mode, 0.7, e);
        expected.push_back(e);
      }
      SortLikeListing(expected);
      SortByScore(expected);

      IndexedQuery q;
      // Every other query is taken from the index itself.
      q.query = which % 2 == 0 ? query.signature : stored(query.path);
      q.colorMode = mode;
      q.colorWeight = 0.7;
      q.shortlist = 0;
      std::vector<ImageEntry> ranking;
      std::vector<std::int64_t> damaged;
      std::string error;
      ASSERT_TRUE(RankIndexed(index, examplesFolder(), false, "test", q, ranking, damaged, error))
          << error;
      EXPECT_TRUE(damaged.empty());
      ASSERT_EQ(ranking.size(), expected.size());
      for (std::size_t i = 0; i < ranking.size(); ++i) {
        SCOPED_TRACE(query.path + " mode " + std::to_string(mode) + " rank " + std::to_string(i));
        EXPECT_EQ(ranking[i].path, expected[i].path);
        EXPECT_EQ(ranking[i].score, expected[i].score);
        EXPECT_EQ(ranking[i].edgeSimilarity, expected[i].edgeSimilarity);
        EXPECT_EQ(ranking[i].colorSimilarity, expected[i].colorSimilarity);
      }
    }
  }
}

}  // namespace
