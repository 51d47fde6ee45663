// folim-cli search end to end on a folder of RIM files.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "retrieval/synthetic_rim.h"
#include "support/cli_in_process.h"
#include "support/test_support.h"

using testing_support::CliRun;
using testing_support::runCli;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

struct Line {
  double score, edge, colour;
  std::string path;
};

std::vector<Line> linesOf(const std::string& text) {
  std::vector<Line> lines;
  std::istringstream in(text);
  Line l;
  while (in >> l.score >> l.edge >> l.colour >> l.path) lines.push_back(l);
  return lines;
}

class CliSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    synthetic::writeRandomRim(dir.file("query.rim"), 0, 1, 96, 96, 32);
    synthetic::writeRandomRim(dir.file("B.rim"), 0, 2, 96, 96, 32);
    synthetic::writeRandomRim(dir.file("c.rim"), 0, 3, 96, 96, 32);
    synthetic::writeRandomRim(dir.file("ica.rim"), 1, 4, 96, 96, 32);
    writeFileBytes(dir.file("photo.jpg"), "not a picture");
    writeFileBytes(dir.file("notes.txt"), "RF");
    std::filesystem::create_directory(dir.file("sub"));
    synthetic::writeRandomRim(dir.file("sub/d.rim"), 0, 5, 96, 96, 32);
  }
  TempDir dir;
};

}  // namespace

TEST_F(CliSearch, RanksTheFolderBestFirst) {
  const CliRun r = runCli({"search", dir.file("query.rim"), dir.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<Line> lines = linesOf(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;  // query, B, c; not the ICA file
  EXPECT_EQ(r.out.rfind("1.000000 1.000000 1.000000 " + dir.file("query.rim") + "\n", 0), 0u)
      << r.out;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    EXPECT_LE(lines[k].score, lines[k - 1].score);
    // Default: MPEG-7 CSD with 70 % colour.
    EXPECT_NEAR(lines[k].score, 0.3 * lines[k].edge + 0.7 * lines[k].colour, 2e-6);
    EXPECT_NE(lines[k].path, dir.file("ica.rim"));
  }
}

TEST_F(CliSearch, RecursiveTopAndModes) {
  CliRun r = runCli({"search", "--recursive", dir.file("query.rim"), dir.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<Line> lines = linesOf(r.out);
  ASSERT_EQ(lines.size(), 4u);
  bool sawSub = false;
  for (const Line& l : lines) sawSub = sawSub || l.path == dir.file("sub/d.rim");
  EXPECT_TRUE(sawSub);

  r = runCli({"search", "--top", "2", "--recursive", dir.file("query.rim"), dir.path()});
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(linesOf(r.out).size(), 2u);

  // Choosing a measure presets its weight: block mean 90 %, histogram 75 %.
  r = runCli({"search", "--color-mode", "block", dir.file("query.rim"), dir.path()});
  ASSERT_EQ(r.code, 0);
  for (const Line& l : linesOf(r.out)) EXPECT_NEAR(l.score, 0.1 * l.edge + 0.9 * l.colour, 2e-6);
  r = runCli({"search", "--color-mode=histogram", dir.file("query.rim"), dir.path()});
  ASSERT_EQ(r.code, 0);
  for (const Line& l : linesOf(r.out)) EXPECT_NEAR(l.score, 0.25 * l.edge + 0.75 * l.colour, 2e-6);
  // An explicit weight wins over the preset; 0 ranks by edges alone.
  r = runCli({"search", "--color-mode", "block", "--color-weight", "0", dir.file("query.rim"),
              dir.path()});
  ASSERT_EQ(r.code, 0);
  lines = linesOf(r.out);
  for (const Line& l : lines) EXPECT_EQ(l.score, l.edge);
  // The thread count does not change the output.
  EXPECT_EQ(runCli({"search", "--threads", "1", dir.file("query.rim"), dir.path()}).out,
            runCli({"search", "--threads", "2", dir.file("query.rim"), dir.path()}).out);
}

TEST_F(CliSearch, ARepeatedOptionTakesItsLastValue) {
  // As with most command-line tools, a later option overrides an earlier
  // one (an alias that sets a default can then be overridden).
  CliRun r = runCli({"search", "--top", "3", "--top=1", dir.file("query.rim"), dir.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(linesOf(r.out).size(), 1u);
  r = runCli({"search", "--color-mode=block", "--color-mode", "histogram", dir.file("query.rim"),
              dir.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const Line& l : linesOf(r.out)) EXPECT_NEAR(l.score, 0.25 * l.edge + 0.75 * l.colour, 2e-6);
}

TEST_F(CliSearch, FailuresAndBadUsage) {
  CliRun r = runCli({"search", dir.file("photo.jpg"), dir.path()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Please select a rim file.\n");
  EXPECT_EQ(r.out, "");
  r = runCli({"search", dir.file("ica.rim"), dir.file("sub")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Folim supports RIM files only!\n");
  r = runCli({"search", dir.file("query.rim"), dir.file("nowhere")});
  EXPECT_EQ(r.code, 1);

  EXPECT_EQ(runCli({"search", dir.file("query.rim")}).code, 2);
  EXPECT_EQ(runCli({"search", "--color-mode", "scolor", dir.file("query.rim"), dir.path()}).code,
            2);
  EXPECT_EQ(runCli({"search", "--color-weight", "120", dir.file("query.rim"), dir.path()}).code, 2);
  EXPECT_EQ(runCli({"search", "--color-weight", "lots", dir.file("query.rim"), dir.path()}).code,
            2);
  EXPECT_EQ(runCli({"search", "--top", "0", dir.file("query.rim"), dir.path()}).code, 2);
  EXPECT_EQ(runCli({"search", "--top", "x", dir.file("query.rim"), dir.path()}).code, 2);
}

// Real photographs: a query's resized and cropped copies, encoded on their
// own, rank right after the query itself among all the other photographs.
TEST(CliSearchPhotographs, ResizedAndCroppedCopiesRankFirst) {
  TempDir dir;
  const std::vector<std::string> photos = testing_support::corpusPhotographs();
  ASSERT_GE(photos.size(), 8u);
  auto encode = [&](const std::string& input, const std::string& output) {
    const CliRun r = runCli({"--quiet", "encode", "--method", "pca", input, output});
    ASSERT_EQ(r.code, 0) << input << ": " << r.err;
  };
  for (const std::string& name : photos)
    encode(testing_support::corpusPath(name), dir.file(name.substr(0, name.size() - 4) + ".rim"));

  for (const char* query : {"dune", "ladybird", "wood"}) {
    const QImage original(
        QString::fromStdString(testing_support::corpusPath(std::string(query) + ".jpg")));
    ASSERT_FALSE(original.isNull()) << query;
    const std::string resized = dir.file(std::string("z-") + query + "-resized.png");
    const std::string cropped = dir.file(std::string("z-") + query + "-cropped.png");
    ASSERT_TRUE(original
                    .scaled(original.width() * 3 / 4, original.height() * 3 / 4,
                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .save(QString::fromStdString(resized)));
    ASSERT_TRUE(original
                    .copy(original.width() / 10, original.height() / 10, original.width() * 8 / 10,
                          original.height() * 8 / 10)
                    .save(QString::fromStdString(cropped)));
    encode(resized, resized + ".rim");
    encode(cropped, cropped + ".rim");
    std::filesystem::remove(resized);
    std::filesystem::remove(cropped);

    const CliRun r = runCli({"search", dir.file(std::string(query) + ".rim"), dir.path()});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<Line> lines = linesOf(r.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].path, dir.file(std::string(query) + ".rim")) << r.out;
    const std::vector<std::string> next = {lines[1].path, lines[2].path};
    EXPECT_TRUE(std::find(next.begin(), next.end(), resized + ".rim") != next.end()) << r.out;
    EXPECT_TRUE(std::find(next.begin(), next.end(), cropped + ".rim") != next.end()) << r.out;
    // The copies stay in the folder and take part in the later queries too.
  }
}
