// folim-cli index, search --index and duplicates end to end on real
// photographs in every format, with damaged index files, two processes at
// once and an interrupted build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QTransform>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include <sqlite3.h>

#include "index/signature_blob.h"
#include "support/cli_in_process.h"
#include "support/run_program.h"
#include "support/test_support.h"

extern char** environ;

using testing_support::binPath;
using testing_support::CliRun;
using testing_support::examplesPath;
using testing_support::readFileBytes;
using testing_support::runCli;
using testing_support::runProgram;
using testing_support::spawnCli;
using testing_support::TempDir;
using testing_support::waitExit;
using testing_support::writeFileBytes;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Lines whose path ends in ".rim".
std::vector<std::string> rimLines(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& l : linesOf(text))
    if (l.size() > 4 && l.compare(l.size() - 4, 4, ".rim") == 0) out.push_back(l);
  return out;
}

QImage example(const char* name) {
  QImage image(QString::fromStdString(examplesPath(name)));
  EXPECT_FALSE(image.isNull()) << name;
  return image;
}

void save(const QImage& image, const std::string& path, const char* format, int quality = 90) {
  ASSERT_TRUE(image.save(QString::fromStdString(path), format, quality)) << path;
}

class CliIndex : public ::testing::Test {
 protected:
  TempDir dir;
  TempDir store;
  std::string index() const { return store.file("index.sqlite"); }

  // JPEG, PNG, TIFF, WebP and RIM pictures, and a half-size copy of the query.
  void mixedFolder() {
    save(example("aqua.jpg"), dir.file("aqua.jpg"), "JPEG");
    save(example("aqua.jpg").scaled(200, 125, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
         dir.file("aqua-small.jpg"), "JPEG");
    save(example("ladybird.png"), dir.file("ladybird.png"), "PNG");
    save(example("garden.tiff"), dir.file("garden.tiff"), "TIFF");
    save(example("dune.jpg"), dir.file("dune.webp"), "WEBP");
    ASSERT_EQ(runCli({"--quiet", "encode", examplesPath("storm.jpg"), dir.file("storm.rim")}).code,
              0);
  }
};

TEST_F(CliIndex, AJpegQueryFindsItselfThenItsResizedCopyAmongEveryFormat) {
  mixedFolder();
  const CliRun built = runCli({"index", "--index", index(), dir.path()});
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(built.out, "added 6, refreshed 0, removed 0, failed 0, unchanged 0\n");
  const CliRun found = runCli({"search", "--index", index(), dir.file("aqua.jpg"), dir.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  const std::vector<std::string> lines = linesOf(found.out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "1.000000 1.000000 1.000000 " + dir.file("aqua.jpg"));
  EXPECT_EQ(lines[1].substr(lines[1].rfind(' ') + 1), dir.file("aqua-small.jpg"));
  // --top and the refresh: nothing changed, nothing is learned again.
  const CliRun again = runCli({"index", "--index", index(), dir.path()});
  EXPECT_EQ(again.out, "added 0, refreshed 0, removed 0, failed 0, unchanged 6\n");
  const CliRun relearned = runCli({"index", "--relearn", "--index", index(), dir.path()});
  EXPECT_EQ(relearned.out, "added 0, refreshed 6, removed 0, failed 0, unchanged 0\n");
  const CliRun top = runCli({"search", "--index", index(), "--no-refresh", "--top", "2",
                             dir.file("aqua.jpg"), dir.path()});
  EXPECT_EQ(linesOf(top.out), std::vector<std::string>(lines.begin(), lines.begin() + 2));
}

TEST_F(CliIndex, RimResultsAreThoseOfTheSearchWithoutTheIndex) {
  for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg", "ladybird.png", "wood.jpg"}) {
    const std::string stem = std::string(name).substr(0, std::string(name).find('.'));
    ASSERT_EQ(runCli({"--quiet", "encode", examplesPath(name), dir.file(stem + ".rim")}).code, 0);
  }
  save(example("storm.jpg"), dir.file("storm.jpg"), "JPEG");
  const CliRun exhaustive = runCli({"search", dir.file("dune.rim"), dir.path()});
  ASSERT_EQ(exhaustive.code, 0) << exhaustive.err;
  ASSERT_EQ(linesOf(exhaustive.out).size(), 5u);
  for (const char* shortlist : {"0", "200", "3"}) {
    const CliRun indexed = runCli(
        {"search", "--index", index(), "--shortlist", shortlist, dir.file("dune.rim"), dir.path()});
    ASSERT_EQ(indexed.code, 0) << indexed.err;
    const std::vector<std::string> rims = rimLines(indexed.out);
    const std::vector<std::string> expected = linesOf(exhaustive.out);
    if (std::string(shortlist) == "3") {
      // A short list ranks its entries as the whole search does.
      ASSERT_EQ(linesOf(indexed.out).size(), 3u);
      EXPECT_EQ(linesOf(indexed.out)[0], expected[0]);
    } else {
      EXPECT_EQ(rims, expected) << shortlist;
      EXPECT_EQ(linesOf(indexed.out).size(), 6u);  // the JPEG is ranked too
    }
  }
}

// --measure names the colour modes as --color-mode does, with the same
// results, and the robust measure, which finds tone and colour edits first.
TEST_F(CliIndex, TheRobustMeasureFindsToneAndColourEditsFirst) {
  for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg", "wood.jpg", "storm.jpg"})
    save(example(name).scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation),
         dir.file(name), "JPEG");
  QImage edited = example("dune.jpg")
                      .scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < edited.height(); ++y)
    for (int x = 0; x < edited.width(); ++x) {
      int h = 0, sat = 0, v = 0;
      edited.pixelColor(x, y).getHsv(&h, &sat, &v);
      edited.setPixelColor(x, y, QColor::fromHsv(h < 0 ? 0 : (h + 25) % 360, sat * 7 / 10, v));
    }
  save(edited, dir.file("dune-hue.png"), "PNG");
  const CliRun robust = runCli({"search", "--index", index(), "--measure", "robust", "--top", "2",
                                dir.file("dune-hue.png"), dir.path()});
  ASSERT_EQ(robust.code, 0) << robust.err;
  const std::vector<std::string> top = linesOf(robust.out);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0].substr(0, 9), "1.000000 ");
  EXPECT_EQ(top[1].substr(top[1].rfind(' ') + 1), dir.file("dune.jpg")) << robust.out;

  for (const char* mode : {"block", "histogram", "csd"}) {
    const CliRun named = runCli({"search", "--index", index(), "--no-refresh", "--measure", mode,
                                 dir.file("dune-hue.png"), dir.path()});
    const CliRun asMode = runCli({"search", "--index", index(), "--no-refresh", "--color-mode",
                                  mode, dir.file("dune-hue.png"), dir.path()});
    ASSERT_EQ(named.code, 0) << named.err;
    EXPECT_EQ(named.out, asMode.out) << mode;
    EXPECT_NE(named.out, robust.out) << mode;
  }
  // Duplicates score pairs as the search does: just under the search's score
  // of the copy against its original (printed rounded), the two are grouped.
  const std::string threshold = std::to_string(std::stod(top[1].substr(0, 8)) - 2e-6);
  const CliRun grouped = runCli({"duplicates", "--no-refresh", "--measure", "robust", "--threshold",
                                 threshold, "--index", index(), dir.path()});
  ASSERT_EQ(grouped.code, 0) << grouped.err;
  EXPECT_NE(grouped.out.find(dir.file("dune-hue.png")), std::string::npos) << grouped.out;
  const CliRun byDefault = runCli({"duplicates", "--no-refresh", "--index", index(), dir.path()});
  const CliRun csd =
      runCli({"duplicates", "--no-refresh", "--measure", "csd", "--index", index(), dir.path()});
  EXPECT_EQ(byDefault.out, csd.out);

  const std::string q = dir.file("dune.jpg");
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"search", "--measure", "nope", q, dir.path()},
        {"search", "--color-mode", "robust", q, dir.path()},
        {"search", "--measure", "csd", "--color-mode", "csd", q, dir.path()},
        {"duplicates", "--measure", "nope", dir.path()}})
    EXPECT_EQ(runCli(bad).code, 2) << bad[1] << " " << bad[2];
}

// Every entry's signature and descriptor written back as the versions before
// the relative histogram stored them.
void storeAsBeforeTheRelativeHistogram(const std::string& file) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  sqlite3_stmt *read = nullptr, *write = nullptr, *writeCompact = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT id, data FROM signatures", -1, &read, nullptr),
            SQLITE_OK);
  ASSERT_EQ(
      sqlite3_prepare_v2(db, "UPDATE signatures SET data = ? WHERE id = ?", -1, &write, nullptr),
      SQLITE_OK);
  ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE entries SET compact = ? WHERE id = ?", -1, &writeCompact,
                               nullptr),
            SQLITE_OK);
  int rows = 0;
  while (sqlite3_step(read) == SQLITE_ROW) {
    Signature s;
    ASSERT_TRUE(DecodeSignature(static_cast<const std::uint8_t*>(sqlite3_column_blob(read, 1)),
                                static_cast<std::size_t>(sqlite3_column_bytes(read, 1)), s));
    ASSERT_EQ(s.relativeHistogram.count(), kRelativeBins);
    s.relativeHistogram = KPX::Vector<double>();
    const std::vector<std::uint8_t> blob = EncodeSignature(s);
    const std::vector<std::uint8_t> compact = EncodeCompact(MakeCompact(s));
    const sqlite3_int64 id = sqlite3_column_int64(read, 0);
    for (const auto& [statement, bytes] : {std::pair{write, &blob}, {writeCompact, &compact}}) {
      sqlite3_bind_blob(statement, 1, bytes->data(), static_cast<int>(bytes->size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_int64(statement, 2, id);
      EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
      sqlite3_reset(statement);
    }
    ++rows;
  }
  EXPECT_GT(rows, 0);
  sqlite3_finalize(read);
  sqlite3_finalize(write);
  sqlite3_finalize(writeCompact);
  sqlite3_close(db);
}

// An index made before the relative histogram still serves the robust
// measure, with its earlier parts, until --relearn learns its pictures again.
TEST_F(CliIndex, AnEarlierIndexServesTheRobustMeasureUntilRelearned) {
  for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg", "wood.jpg"})
    save(example(name).scaled(256, 256, Qt::KeepAspectRatio, Qt::SmoothTransformation),
         dir.file(name), "JPEG");
  ASSERT_EQ(runCli({"index", "--index", index(), dir.path()}).code, 0);
  const std::vector<std::string> search = {
      "search",  "--index", index(), "--no-refresh", "--measure", "robust", dir.file("dune.jpg"),
      dir.path()};
  const CliRun current = runCli(search);
  ASSERT_EQ(current.code, 0) << current.err;
  storeAsBeforeTheRelativeHistogram(index());
  const CliRun earlier = runCli(search);
  ASSERT_EQ(earlier.code, 0) << earlier.err;
  EXPECT_EQ(linesOf(earlier.out).size(), linesOf(current.out).size());
  EXPECT_NE(earlier.out, current.out);
  const CliRun relearned = runCli({"index", "--relearn", "--index", index(), dir.path()});
  EXPECT_EQ(relearned.out, "added 0, refreshed 4, removed 0, failed 0, unchanged 0\n");
  EXPECT_EQ(runCli(search).out, current.out);
}

TEST_F(CliIndex, DuplicatesFindsThePlantedCopiesAndNothingElse) {
  for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg", "wood.jpg", "storm.jpg"})
    save(example(name), dir.file(name), "JPEG");
  save(example("aqua.jpg").scaled(300, 188, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
       dir.file("aqua-copy.png"), "PNG");
  save(example("storm.jpg").mirrored(true, false), dir.file("storm-mirror.jpg"), "JPEG", 60);
  const CliRun found = runCli({"duplicates", "--index", index(), dir.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  std::vector<std::string> lines = linesOf(found.out);
  ASSERT_EQ(lines.size(), 5u) << found.out;
  EXPECT_EQ(lines[2], "");
  std::vector<std::string> paths;
  for (const std::string& l : lines)
    if (!l.empty()) paths.push_back(l.substr(l.rfind(' ') + 1));
  std::sort(paths.begin(), paths.begin() + 2);
  std::sort(paths.begin() + 2, paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{dir.file("aqua-copy.png"), dir.file("aqua.jpg"),
                                             dir.file("storm-mirror.jpg"), dir.file("storm.jpg")}));
  EXPECT_EQ(lines[0].substr(0, 27), "1.000000 1.000000 1.000000 ");

  const CliRun json =
      runCli({"duplicates", "--json", "--no-refresh", "--index", index(), dir.path()});
  ASSERT_EQ(json.code, 0);
  EXPECT_EQ(json.out.front(), '[');
  EXPECT_NE(json.out.find("{\"path\": \"" + dir.file("aqua.jpg") + "\", \"score\": "),
            std::string::npos)
      << json.out;
  // A threshold nothing reaches finds no group.
  const CliRun none = runCli(
      {"duplicates", "--json", "--no-refresh", "--threshold", "1", "--index", index(), dir.path()});
  EXPECT_EQ(none.out, "[]\n");
}

// Names with a line break and a byte that is not UTF-8 stay one record each,
// escaped as the search escapes them.
TEST_F(CliIndex, DuplicatesEscapesOddNamesAsTheSearchDoes) {
  // Saved under a plain name first: the image library takes names as text.
  save(example("storm.jpg"), dir.file("storm.jpg"), "JPEG");
  std::filesystem::rename(dir.file("storm.jpg"), dir.file("storm\n\xff.jpg"));
  save(example("storm.jpg").mirrored(true, false), dir.file("storm-mirror.jpg"), "JPEG", 60);
  save(example("aqua.jpg"), dir.file("aqua.jpg"), "JPEG");
  const CliRun found = runCli({"duplicates", "--index", index(), dir.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  const std::vector<std::string> lines = linesOf(found.out);
  ASSERT_EQ(lines.size(), 2u) << found.out;
  const std::string spelled = dir.path() + "/storm\\n\xff.jpg";
  EXPECT_TRUE(lines[0].find(spelled) != std::string::npos ||
              lines[1].find(spelled) != std::string::npos)
      << found.out;
  const CliRun json =
      runCli({"duplicates", "--json", "--no-refresh", "--index", index(), dir.path()});
  EXPECT_NE(json.out.find("\"" + dir.path() + "/storm\\n\\udcff.jpg\""), std::string::npos)
      << json.out;
}

// A Folim index (its header names it one) whose other header fields are
// garbage.
std::string damagedFolimIndex(const std::string& scratch) {
  const std::string path = scratch + "/whole.sqlite";
  EXPECT_EQ(runCli({"index", "--index", path, scratch}).code, 0);
  std::string bytes = readFileBytes(path);
  for (std::size_t i = 16; i < 68; ++i) bytes[i] = '\x17';
  return bytes;
}

TEST_F(CliIndex, ADamagedIndexIsReportedAndRebuilt) {
  mixedFolder();
  TempDir scratch;
  const std::string damaged = damagedFolimIndex(scratch.path());
  writeFileBytes(index(), damaged);
  const CliRun built = runCli({"index", "--index", index(), dir.path()});
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_NE(built.err.find("damaged"), std::string::npos);
  EXPECT_EQ(built.out, "added 6, refreshed 0, removed 0, failed 0, unchanged 0\n");
  EXPECT_EQ(readFileBytes(index() + ".damaged"), damaged);
}

TEST_F(CliIndex, UnreadableQueriesAndBadOptionsAreReported) {
  mixedFolder();
  writeFileBytes(dir.file("broken.jpg"), "no picture");
  // The broken picture is a failed row.
  const CliRun built = runCli({"index", "--index", index(), dir.path()});
  EXPECT_EQ(built.out, "added 7, refreshed 0, removed 0, failed 1, unchanged 0\n");
  const CliRun broken = runCli({"search", "--index", index(), dir.file("broken.jpg"), dir.path()});
  EXPECT_EQ(broken.code, 1);
  EXPECT_NE(broken.err.find("broken.jpg"), std::string::npos);
  EXPECT_EQ(runCli({"search", "--shortlist", "x", dir.file("aqua.jpg"), dir.path()}).code, 2);
  EXPECT_EQ(runCli({"index", "--jobs", "0", dir.path()}).code, 2);
  EXPECT_EQ(runCli({"index", "--index", index()}).code, 2);
  EXPECT_EQ(runCli({"duplicates", "--threshold", "2", dir.path()}).code, 2);
}

// A library root: the folder reached at another point (a symbolic link
// standing in for another mount) finds every entry by the root's name, and
// nothing is learned again.
TEST_F(CliIndex, ALibraryRootIsFoundAtAnotherMountPoint) {
  mixedFolder();
  const CliRun built =
      runCli({"index", "--index", index(), "--root", "photos=" + dir.path(), dir.path()});
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(built.out, "added 6, refreshed 0, removed 0, failed 0, unchanged 0\n");
  const std::string mount = store.file("mount");
  std::filesystem::create_directory_symlink(dir.path(), mount);
  const CliRun again = runCli({"index", "--index", index(), "--root", "photos=" + mount, mount});
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(again.out, "added 0, refreshed 0, removed 0, failed 0, unchanged 6\n");
  // Remembered: the search names no root.
  const CliRun found =
      runCli({"search", "--index", index(), "--no-refresh", mount + "/aqua.jpg", mount});
  ASSERT_EQ(found.code, 0) << found.err;
  ASSERT_EQ(linesOf(found.out).size(), 6u);
  EXPECT_EQ(linesOf(found.out)[0], "1.000000 1.000000 1.000000 " + mount + "/aqua.jpg");

  for (const char* bad : {"photos", "a/b=/tmp", "photos="})
    EXPECT_EQ(runCli({"index", "--index", index(), "--root", bad, mount}).code, 2) << bad;
  const CliRun missing =
      runCli({"duplicates", "--index", index(), "--root", "photos=" + dir.file("gone"), mount});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("gone"), std::string::npos) << missing.err;
}

// Random bytes written into any one page of a real index: whatever SQLite's
// own checks or the blobs' checksums find is learned again (or the index
// rebuilt) within the same search, and the next search finds nothing amiss.
// The exact copies of the query are never missing.
TEST_F(CliIndex, DamageInAnyPageOfTheIndexIsRepaired) {
  mixedFolder();
  std::filesystem::copy_file(dir.file("aqua.jpg"), dir.file("aqua-copy.jpg"));
  const CliRun built = runCli({"index", "--index", index(), dir.path()});
  ASSERT_EQ(built.code, 0) << built.err;
  const std::string pristine = readFileBytes(index());
  constexpr std::size_t kPage = 4096;
  ASSERT_EQ(pristine.size() % kPage, 0u);
  const std::string exact = "1.000000 1.000000 1.000000 ";
  std::mt19937 random(27);
  for (std::size_t page = 1; page < pristine.size() / kPage; ++page) {
    std::string bytes = pristine;
    for (std::size_t i = 500; i < 3500; ++i)
      bytes[page * kPage + i] = static_cast<char>(random() & 0xff);
    for (const char* suffix : {"", "-wal", "-shm", ".damaged"})
      std::filesystem::remove(index() + suffix);
    writeFileBytes(index(), bytes);
    for (int round = 0; round < 2; ++round) {
      const CliRun found = runCli({"search", "--index", index(), dir.file("aqua.jpg"), dir.path()});
      ASSERT_EQ(found.code, 0) << "page " << page << ": " << found.err;
      EXPECT_NE(found.out.find(exact + dir.file("aqua.jpg") + "\n"), std::string::npos)
          << "page " << page << " round " << round << "\n"
          << found.out << found.err;
      EXPECT_NE(found.out.find(exact + dir.file("aqua-copy.jpg") + "\n"), std::string::npos)
          << "page " << page << " round " << round << "\n"
          << found.out << found.err;
      EXPECT_EQ(linesOf(found.out).size(), 7u) << "page " << page << "\n" << found.out;
      if (round == 1) {
        EXPECT_EQ(found.err, "") << "page " << page;
      }
    }
    if (HasFailure()) break;
  }
}

// A picture that cannot be read ranks last with -1, as the search without
// the index ranks a damaged candidate; index names it and why, and fails.
TEST_F(CliIndex, AnUnreadablePictureIsListedByIndexAndRankedMinusOneBySearch) {
  for (const char* name : {"aqua.jpg", "dune.jpg"}) {
    const std::string stem = std::string(name).substr(0, std::string(name).find('.'));
    ASSERT_EQ(runCli({"--quiet", "encode", examplesPath(name), dir.file(stem + ".rim")}).code, 0);
  }
  const std::string bytes = readFileBytes(dir.file("dune.rim"));
  // The header whole, the sections cut.
  writeFileBytes(dir.file("cut.rim"), bytes.substr(0, 1000));
  writeFileBytes(dir.file("broken.jpg"), "no picture");
  const CliRun built = runCli({"index", "--index", index(), dir.path()});
  EXPECT_EQ(built.code, 1);
  EXPECT_EQ(built.out, "added 4, refreshed 0, removed 0, failed 2, unchanged 0\n");
  EXPECT_NE(
      built.err.find("folim-cli index: " + dir.file("broken.jpg") + ": not a readable image ("),
      std::string::npos)
      << built.err;
  EXPECT_NE(built.err.find("folim-cli index: " + dir.file("cut.rim") + ": "), std::string::npos)
      << built.err;

  const CliRun direct = runCli({"search", dir.file("aqua.rim"), dir.path()});
  const CliRun indexed =
      runCli({"search", "--index", index(), "--no-refresh", dir.file("aqua.rim"), dir.path()});
  ASSERT_EQ(indexed.code, 0) << indexed.err;
  const std::string minusOne = "-1.000000 -1.000000 -1.000000 ";
  EXPECT_NE(direct.out.find(minusOne + dir.file("cut.rim") + "\n"), std::string::npos)
      << direct.out;
  const std::vector<std::string> lines = linesOf(indexed.out);
  ASSERT_EQ(lines.size(), 4u) << indexed.out;
  EXPECT_EQ(lines[2], minusOne + dir.file("broken.jpg"));
  EXPECT_EQ(lines[3], minusOne + dir.file("cut.rim"));
}

// A picture that could not be read and was repaired since is searched and
// grouped again once the index is refreshed: its row is readable again, not
// only its signature new.
TEST_F(CliIndex, ARepairedPictureIsSearchedAndGroupedAgain) {
  save(example("aqua.jpg"), dir.file("aqua.jpg"), "JPEG");
  save(example("dune.jpg"), dir.file("dune.jpg"), "JPEG");
  writeFileBytes(dir.file("repaired.jpg"), "no picture yet");
  EXPECT_EQ(runCli({"index", "--index", index(), dir.path()}).out,
            "added 3, refreshed 0, removed 0, failed 1, unchanged 0\n");
  std::filesystem::copy_file(dir.file("aqua.jpg"), dir.file("repaired.jpg"),
                             std::filesystem::copy_options::overwrite_existing);
  const CliRun found = runCli({"search", "--index", index(), dir.file("aqua.jpg"), dir.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  const std::vector<std::string> lines = linesOf(found.out);
  ASSERT_EQ(lines.size(), 3u) << found.out;
  const std::string exact = "1.000000 1.000000 1.000000 ";
  EXPECT_NE(found.out.find(exact + dir.file("repaired.jpg") + "\n"), std::string::npos)
      << found.out;
  const CliRun groups = runCli({"duplicates", "--no-refresh", "--index", index(), dir.path()});
  ASSERT_EQ(groups.code, 0) << groups.err;
  EXPECT_NE(groups.out.find(exact + dir.file("repaired.jpg") + "\n"), std::string::npos)
      << groups.out;
  EXPECT_EQ(linesOf(groups.out).size(), 2u) << groups.out;
}

// Pictures dated where nanoseconds since 1970 overflow 64 bits (after
// 2262), or before 1970: every command counts them. The file system clamps
// what it cannot store (ext4 keeps 1901 to 2446).
TEST_F(CliIndex, PicturesOfAnyDateAreIndexedSearchedAndGrouped) {
  save(example("aqua.jpg"), dir.file("aqua.jpg"), "JPEG");
  std::filesystem::copy_file(dir.file("aqua.jpg"), dir.file("aqua-copy.jpg"));
  save(example("dune.jpg"), dir.file("dune.jpg"), "JPEG");
  save(example("storm.jpg"), dir.file("storm.jpg"), "JPEG");
  const std::pair<const char*, const char*> dates[] = {{"aqua.jpg", "2500-01-01"},
                                                       {"aqua-copy.jpg", "9999-12-31"},
                                                       {"dune.jpg", "1960-01-01"},
                                                       {"storm.jpg", "2300-06-01 12:00:00.5"}};
  for (const auto& [name, date] : dates) {
    const testing_support::ProgramRun touched =
        runProgram("/usr/bin/touch", {"-d", date, dir.file(name)});
    ASSERT_EQ(touched.exitCode, 0) << touched.err;
  }
  const CliRun built = runCli({"index", "--index", index(), dir.path()});
  EXPECT_EQ(built.out, "added 4, refreshed 0, removed 0, failed 0, unchanged 0\n") << built.err;
  EXPECT_EQ(runCli({"index", "--index", index(), dir.path()}).out,
            "added 0, refreshed 0, removed 0, failed 0, unchanged 4\n");
  TempDir fresh;
  const CliRun found =
      runCli({"search", "--index", fresh.file("i.sqlite"), dir.file("aqua.jpg"), dir.path()});
  EXPECT_EQ(linesOf(found.out).size(), 4u) << found.out << found.err;
  TempDir other;
  const CliRun groups = runCli({"duplicates", "--index", other.file("i.sqlite"), dir.path()});
  EXPECT_EQ(linesOf(groups.out).size(), 2u) << groups.out << groups.err;
}

// One spelling of the colour key in the JSON of search and duplicates; the
// first spelling of duplicates stays for the scripts written against it.
TEST_F(CliIndex, DuplicatesSpellColourAsSearchDoes) {
  save(example("aqua.jpg"), dir.file("aqua.jpg"), "JPEG");
  std::filesystem::copy_file(dir.file("aqua.jpg"), dir.file("aqua-copy.jpg"));
  const CliRun groups = runCli({"duplicates", "--json", "--index", index(), dir.path()});
  ASSERT_EQ(groups.code, 0) << groups.err;
  const CliRun found =
      runCli({"search", "--json", "--index", index(), dir.file("aqua.jpg"), dir.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  EXPECT_NE(found.out.find("\"colour\":1.000000"), std::string::npos) << found.out;
  EXPECT_NE(groups.out.find("\"colour\": 1.000000, \"color\": 1.000000}"), std::string::npos)
      << groups.out;
}

// Pictures enough to keep one thread busy for a while.
void manyPictures(const std::string& folder, int count) {
  const QImage base = example("wood.jpg").scaled(1000, 750);
  for (int i = 0; i < count; ++i) {
    QImage variant = base.transformed(QTransform().rotate(i * 7.0)).scaled(1000, 750);
    save(variant, folder + "/p" + std::to_string(100 + i) + ".jpg", "JPEG", 50 + i);
  }
}

TEST_F(CliIndex, TwoProcessesShareOneIndex) {
  TempDir second;
  manyPictures(dir.path(), 8);
  manyPictures(second.path(), 8);
  const pid_t a =
      spawnCli({"index", "--jobs", "1", "--index", index(), dir.path()}, store.file("a.out"));
  const pid_t b =
      spawnCli({"index", "--jobs", "1", "--index", index(), second.path()}, store.file("b.out"));
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(waitExit(a), 0) << readFileBytes(store.file("a.out.err"));
  EXPECT_EQ(waitExit(b), 0) << readFileBytes(store.file("b.out.err"));
  EXPECT_EQ(readFileBytes(store.file("a.out")),
            "added 8, refreshed 0, removed 0, failed 0, unchanged 0\n");
  EXPECT_EQ(readFileBytes(store.file("b.out")),
            "added 8, refreshed 0, removed 0, failed 0, unchanged 0\n");
  const CliRun again = runCli({"index", "--index", index(), dir.path(), second.path()});
  EXPECT_EQ(again.out, "added 0, refreshed 0, removed 0, failed 0, unchanged 16\n");
}

TEST_F(CliIndex, AnInterruptedBuildIsCompletedByTheNextRun) {
  constexpr int kPictures = 24;
  manyPictures(dir.path(), kPictures);
  const pid_t pid =
      spawnCli({"index", "--jobs", "1", "--index", index(), dir.path()}, store.file("first.out"));
  ASSERT_GT(pid, 0);
  // Interrupt once the first pictures are in: the database exists by then.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  kill(pid, SIGINT);
  const int code = waitExit(pid);
  const std::string first = readFileBytes(store.file("first.out"));
  unsigned added = 0;
  ASSERT_EQ(std::sscanf(first.c_str(), "added %u", &added), 1) << first;
  if (code == 130) {
    EXPECT_LT(added, static_cast<unsigned>(kPictures));
    EXPECT_NE(readFileBytes(store.file("first.out.err")).find("interrupted"), std::string::npos);
  } else {
    EXPECT_EQ(code, 0);  // a fast machine finished first
  }
  const CliRun second = runCli({"index", "--index", index(), dir.path()});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(second.out, "added " + std::to_string(kPictures - added) +
                            ", refreshed 0, removed 0, failed 0, unchanged " +
                            std::to_string(added) + "\n");
}

}  // namespace
