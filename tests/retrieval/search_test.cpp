// The search core: weight text, ordering, candidate collection, scoring and
// the failure messages.
#include "retrieval/search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "retrieval/color_similarity.h"
#include "retrieval/edge_similarity.h"
#include "retrieval/synthetic_rim.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

ImageEntry entry(const TempDir& dir, const std::string& name,
                 std::int16_t baseType = kBaseTypeUninspected) {
  ImageEntry e;
  e.name = name;
  e.path = dir.file(name);
  e.baseType = baseType;
  return e;
}

std::vector<std::string> namesOf(const std::vector<ImageEntry>& entries) {
  std::vector<std::string> names;
  for (const ImageEntry& e : entries) names.push_back(e.name);
  return names;
}

struct Recorded {
  std::vector<std::string> captions;
  std::vector<int> percents;
  SearchProgress callback() {
    return [this](const std::string& caption, int percent) {
      captions.push_back(caption);
      percents.push_back(percent);
    };
  }
};

}  // namespace

TEST(SearchWeight, DecimalTextOverOneHundred) {
  EXPECT_DOUBLE_EQ(ColorWeightFromText("70"), 0.7);
  EXPECT_EQ(ColorWeightFromText("0"), 0.0);
  EXPECT_EQ(ColorWeightFromText("100"), 1.0);
  EXPECT_DOUBLE_EQ(ColorWeightFromText(" 12.5"), 0.125);
  EXPECT_DOUBLE_EQ(ColorWeightFromText("+30"), 0.3);
  EXPECT_DOUBLE_EQ(ColorWeightFromText("50%"), 0.5);
  EXPECT_DOUBLE_EQ(ColorWeightFromText("-10"), -0.1);
  // Not a number: 0.
  EXPECT_EQ(ColorWeightFromText(""), 0.0);
  EXPECT_EQ(ColorWeightFromText("abc"), 0.0);
  EXPECT_EQ(ColorWeightFromText("nan"), 0.0);
  EXPECT_EQ(ColorWeightFromText("inf"), 0.0);
  EXPECT_EQ(ColorWeightFromText("1e999"), 0.0);
}

TEST(SearchOrder, HighestFirstEqualScoresKeepListOrderNaNLast) {
  std::vector<ImageEntry> c(6);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double scores[] = {0.5, nan, 0.9, 0.5, -1.0, 0.5};
  for (std::size_t k = 0; k < c.size(); ++k) {
    c[k].name = std::string(1, static_cast<char>('a' + k));
    c[k].score = scores[k];
  }
  SortByScore(c);
  EXPECT_EQ(namesOf(c), (std::vector<std::string>{"c", "a", "d", "f", "e", "b"}));
}

TEST(SearchRefusals, MessagesForModeQueryAndMissingCandidates) {
  TempDir dir;
  synthetic::writeRandomRim(dir.file("q.rim"), 0, 1);
  synthetic::writeRandomRim(dir.file("ica.rim"), 1, 2);
  SearchRequest request;
  request.queryPath = dir.file("q.rim");
  request.queryBaseType = 0;
  const std::vector<ImageEntry> entries = {entry(dir, "q.rim")};

  for (std::int32_t mode : {-1, 3}) {
    request.colorMode = mode;
    const SearchResult r = RunSearch(request, entries);
    EXPECT_EQ(r.outcome, SearchOutcome::BadColorMode);
    EXPECT_EQ(r.message, "Sorry. Now Color Mode is Scolor and Histogram.");
  }
  request.colorMode = 2;
  for (std::int32_t type : {326, 99, 2}) {
    request.queryBaseType = type;
    const SearchResult r = RunSearch(request, entries);
    EXPECT_EQ(r.outcome, SearchOutcome::NotRimQuery);
    EXPECT_EQ(r.message, "Please select a rim file.");
  }
  // Only an ICA file and a photograph for a PCA query.
  request.queryBaseType = 0;
  writeFileBytes(dir.file("photo.jpg"), "not really a picture");
  Recorded progress;
  const SearchResult r =
      RunSearch(request, {entry(dir, "ica.rim"), entry(dir, "photo.jpg")}, progress.callback());
  EXPECT_EQ(r.outcome, SearchOutcome::NoCandidates);
  EXPECT_EQ(r.message, "Folim supports RIM files only!");
  EXPECT_TRUE(r.candidates.empty());
  EXPECT_EQ(progress.captions, (std::vector<std::string>{"Loading images 0 / 2 ..."}));
}

TEST(SearchCollection, KeepsRimFilesLearnedLikeTheQuery) {
  TempDir dir;
  synthetic::writeRandomRim(dir.file("a.rim"), 0, 1);
  synthetic::writeRandomRim(dir.file("b.rim"), 1, 2);
  synthetic::writeRandomRim(dir.file("photorim"), 0, 3);  // no dot: inspected all the same
  synthetic::writeRandomRim(dir.file("upper.RIM"), 0, 4);
  synthetic::writeRandomRim(dir.file("c.jpg"), 0, 5);  // a RIM file by content, but not by name
  writeFileBytes(dir.file("broken.rim"), "RF short");
  std::string wrong = readFileBytes(dir.file("a.rim"));
  wrong[0] = 0;
  writeFileBytes(dir.file("wrong.rim"), wrong);

  std::vector<ImageEntry> entries = {
      entry(dir, "a.rim"),
      entry(dir, "b.rim"),
      entry(dir, "c.jpg"),
      entry(dir, "photorim"),
      entry(dir, "broken.rim"),
      entry(dir, "missing.rim"),
      entry(dir, "wrong.rim"),
      entry(dir, "upper.RIM"),
      // Inspected entries are taken by their base type, without reading.
      entry(dir, "seen-pca.rim", 0),
      entry(dir, "seen-ica.rim", 1),
      entry(dir, "seen.bmp", 326),
  };
  entries[8].score = 0.25;
  Recorded progress;
  const std::vector<ImageEntry> pca = CollectCandidates(0, entries, progress.callback());
  EXPECT_EQ(namesOf(pca),
            (std::vector<std::string>{"a.rim", "photorim", "upper.RIM", "seen-pca.rim"}));
  EXPECT_EQ(pca[0].baseType, kBaseTypeUninspected);
  EXPECT_EQ(pca[0].path, dir.file("a.rim"));
  EXPECT_EQ(pca[3].baseType, 0);
  EXPECT_EQ(pca[3].score, 0.25);  // a copy of the entry
  // Progress for every entry that was not skipped (skipped: c.jpg, broken,
  // missing, wrong), counted from 0.
  EXPECT_EQ(progress.captions,
            (std::vector<std::string>{"Loading images 0 / 11 ...", "Loading images 1 / 11 ...",
                                      "Loading images 3 / 11 ...", "Loading images 7 / 11 ...",
                                      "Loading images 8 / 11 ...", "Loading images 9 / 11 ...",
                                      "Loading images 10 / 11 ..."}));
  EXPECT_EQ(progress.percents, (std::vector<int>{0, 9, 27, 63, 72, 81, 90}));

  const std::vector<ImageEntry> ica = CollectCandidates(1, entries);
  EXPECT_EQ(namesOf(ica), (std::vector<std::string>{"b.rim", "seen-ica.rim"}));
}

TEST(SearchScoring, TheQueryRanksFirstWithOneInBothMeasures) {
  TempDir dir;
  synthetic::writeRandomRim(dir.file("a.rim"), 0, 11);
  synthetic::writeRandomRim(dir.file("q.rim"), 0, 12);
  synthetic::writeRandomRim(dir.file("b.rim"), 0, 13);
  const std::vector<ImageEntry> entries = {entry(dir, "a.rim"), entry(dir, "b.rim"),
                                           entry(dir, "q.rim")};
  for (std::int32_t mode = 0; mode < 3; ++mode) {
    SearchRequest request;
    request.queryPath = dir.file("q.rim");
    request.queryBaseType = 0;
    request.colorMode = mode;
    const SearchResult r = RunSearch(request, entries);
    ASSERT_EQ(r.outcome, SearchOutcome::Ranked);
    ASSERT_EQ(r.candidates.size(), 3u);
    EXPECT_EQ(r.candidates[0].name, "q.rim") << "mode " << mode;
    EXPECT_NEAR(r.candidates[0].edgeSimilarity, 1.0, 1e-12);
    EXPECT_NEAR(r.candidates[0].colorSimilarity, 1.0, 1e-12);
    EXPECT_NEAR(r.candidates[0].score, 1.0, 1e-12);
    EXPECT_GE(r.candidates[1].score, r.candidates[2].score);
  }
}

TEST(SearchScoring, WeightsCombineTheMeasuresAndUnreadableTargetsScoreMinusOne) {
  TempDir dir;
  synthetic::writeRandomRim(dir.file("q.rim"), 0, 21);
  synthetic::writeRandomRim(dir.file("a.rim"), 0, 22);
  // A file whose averages read but whose bases do not.
  std::string bytes = readFileBytes(dir.file("a.rim"));
  const std::size_t baseOffset = static_cast<unsigned char>(bytes[36]) |
                                 static_cast<std::size_t>(static_cast<unsigned char>(bytes[37]))
                                     << 8;
  bytes[baseOffset] = 2;
  writeFileBytes(dir.file("nobases.rim"), bytes);
  const std::vector<ImageEntry> entries = {entry(dir, "a.rim"), entry(dir, "nobases.rim"),
                                           entry(dir, "gone.rim", 0)};

  // Block means: positive averages always have a positive cosine.
  ColorSimilarity color;
  color.resolution = 4;
  color.mode = 0;
  ASSERT_EQ(color.ComputeFeatures(color.queryBlockMeans, color.queryHistogram, dir.file("q.rim")),
            status::Success);
  EdgeSimilarity edge;
  edge.baseLimit = 96;
  ASSERT_EQ(edge.SetQuery(dir.file("q.rim")), status::Success);
  const double e = edge.Compare(dir.file("a.rim"));
  const double c = color.Compare(dir.file("a.rim"));
  const double cNoBases = color.Compare(dir.file("nobases.rim"));
  ASSERT_GT(c, 0.0);
  ASSERT_GT(cNoBases, 0.0);

  SearchRequest request;
  request.queryPath = dir.file("q.rim");
  request.queryBaseType = 0;
  request.colorMode = 0;
  auto find = [](const SearchResult& r, const std::string& name) {
    for (const ImageEntry& x : r.candidates)
      if (x.name == name) return x;
    ADD_FAILURE() << name << " not ranked";
    return ImageEntry();
  };

  request.colorWeightText = "70";
  SearchResult r = RunSearch(request, entries);
  ASSERT_EQ(r.candidates.size(), 3u);
  const double w = 70 / 100.0;
  EXPECT_EQ(find(r, "a.rim").score, (1 - w) * e + w * c);
  const ImageEntry broken = find(r, "nobases.rim");
  EXPECT_EQ(broken.edgeSimilarity, -1.0);
  EXPECT_EQ(broken.colorSimilarity, cNoBases);
  EXPECT_EQ(broken.score, (1 - w) * -1.0 + w * cNoBases);
  const ImageEntry gone = find(r, "gone.rim");
  EXPECT_EQ(gone.edgeSimilarity, -1.0);
  EXPECT_EQ(gone.colorSimilarity, -1.0);
  EXPECT_DOUBLE_EQ(gone.score, -1.0);
  EXPECT_EQ(r.candidates.back().name, "gone.rim");

  request.colorWeightText = "0";
  r = RunSearch(request, entries);
  EXPECT_EQ(find(r, "a.rim").score, e);
  EXPECT_EQ(find(r, "nobases.rim").score, -1.0);
  request.colorWeightText = "100";
  r = RunSearch(request, entries);
  EXPECT_EQ(find(r, "a.rim").score, c);
  EXPECT_EQ(find(r, "nobases.rim").score, cNoBases);
  request.colorWeightText = "heavy";  // not a number: weight 0
  r = RunSearch(request, entries);
  EXPECT_EQ(find(r, "a.rim").score, e);
}

TEST(SearchScoring, ThreadsChangeNeitherValuesNorOrder) {
  TempDir dir;
  std::vector<ImageEntry> entries;
  for (unsigned k = 0; k < 23; ++k) {
    const std::string name = "f" + std::to_string(k) + ".rim";
    synthetic::writeRandomRim(dir.file(name), 1, 100 + k % 7);  // repeated contents give ties
    entries.push_back(entry(dir, name));
  }
  SearchRequest request;
  request.queryPath = dir.file("f3.rim");
  request.queryBaseType = 1;
  request.colorMode = 1;
  Recorded serialProgress;
  const SearchResult serial = RunSearch(request, entries, serialProgress.callback());
  ASSERT_EQ(serial.candidates.size(), 23u);
  EXPECT_EQ(serialProgress.captions[23], "Calculating similarity 0 / 23 ...");
  EXPECT_EQ(serialProgress.captions.back(), "Calculating similarity 22 / 23 ...");
  EXPECT_EQ(serialProgress.percents.back(), 95);
  // Ties keep list order: f3 and the files with the same contents lead.
  EXPECT_EQ(namesOf(serial.candidates)[0], "f3.rim");
  EXPECT_EQ(namesOf(serial.candidates)[1], "f10.rim");
  EXPECT_EQ(namesOf(serial.candidates)[2], "f17.rim");
  for (unsigned threads : {2u, 3u, 8u}) {
    request.threads = threads;
    const SearchResult parallel = RunSearch(request, entries);
    ASSERT_EQ(parallel.candidates.size(), serial.candidates.size());
    for (std::size_t k = 0; k < serial.candidates.size(); ++k) {
      EXPECT_EQ(parallel.candidates[k].name, serial.candidates[k].name);
      EXPECT_EQ(parallel.candidates[k].score, serial.candidates[k].score);
      EXPECT_EQ(parallel.candidates[k].edgeSimilarity, serial.candidates[k].edgeSimilarity);
      EXPECT_EQ(parallel.candidates[k].colorSimilarity, serial.candidates[k].colorSimilarity);
    }
  }
}
