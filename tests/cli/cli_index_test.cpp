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
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "support/run_program.h"
#include "support/test_support.h"

extern char** environ;

using testing_support::binPath;
using testing_support::examplesPath;
using testing_support::readFileBytes;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

CliRun run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = cli::runCli(args, out, err);
  return {code, out.str(), err.str()};
}

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
    ASSERT_EQ(run({"--quiet", "encode", examplesPath("storm.jpg"), dir.file("storm.rim")}).code, 0);
  }
};

TEST_F(CliIndex, AJpegQueryFindsItselfThenItsResizedCopyAmongEveryFormat) {
  mixedFolder();
  const CliRun built = run({"index", "--index", index(), dir.path()});
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(built.out, "added 6, refreshed 0, removed 0, failed 0, unchanged 0\n");
  const CliRun found = run({"search", "--index", index(), dir.file("aqua.jpg"), dir.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  const std::vector<std::string> lines = linesOf(found.out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "1.000000 1.000000 1.000000 " + dir.file("aqua.jpg"));
  EXPECT_EQ(lines[1].substr(lines[1].rfind(' ') + 1), dir.file("aqua-small.jpg"));
  // --top and the refresh: nothing changed, nothing is learned again.
  const CliRun again = run({"index", "--index", index(), dir.path()});
  EXPECT_EQ(again.out, "added 0, refreshed 0, removed 0, failed 0, unchanged 6\n");
  const CliRun top = run({"search", "--index", index(), "--no-refresh", "--top", "2",
                          dir.file("aqua.jpg"), dir.path()});
  EXPECT_EQ(linesOf(top.out), std::vector<std::string>(lines.begin(), lines.begin() + 2));
}

TEST_F(CliIndex, RimResultsAreThoseOfTheSearchWithoutTheIndex) {
  for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg", "ladybird.png", "wood.jpg"}) {
    const std::string stem = std::string(name).substr(0, std::string(name).find('.'));
    ASSERT_EQ(run({"--quiet", "encode", examplesPath(name), dir.file(stem + ".rim")}).code, 0);
  }
  save(example("storm.jpg"), dir.file("storm.jpg"), "JPEG");
  const CliRun exhaustive = run({"search", dir.file("dune.rim"), dir.path()});
  ASSERT_EQ(exhaustive.code, 0) << exhaustive.err;
  ASSERT_EQ(linesOf(exhaustive.out).size(), 5u);
  for (const char* shortlist : {"0", "200", "3"}) {
    const CliRun indexed = run(
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

TEST_F(CliIndex, DuplicatesFindsThePlantedCopiesAndNothingElse) {
  for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg", "wood.jpg", "storm.jpg"})
    save(example(name), dir.file(name), "JPEG");
  save(example("aqua.jpg").scaled(300, 188, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
       dir.file("aqua-copy.png"), "PNG");
  save(example("storm.jpg").mirrored(true, false), dir.file("storm-mirror.jpg"), "JPEG", 60);
  const CliRun found = run({"duplicates", "--index", index(), dir.path()});
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

  const CliRun json = run({"duplicates", "--json", "--no-refresh", "--index", index(), dir.path()});
  ASSERT_EQ(json.code, 0);
  EXPECT_EQ(json.out.front(), '[');
  EXPECT_NE(json.out.find("{\"path\": \"" + dir.file("aqua.jpg") + "\", \"score\": "),
            std::string::npos)
      << json.out;
  // A threshold nothing reaches finds no group.
  const CliRun none = run(
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
  const CliRun found = run({"duplicates", "--index", index(), dir.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  const std::vector<std::string> lines = linesOf(found.out);
  ASSERT_EQ(lines.size(), 2u) << found.out;
  const std::string spelled = dir.path() + "/storm\\n\xff.jpg";
  EXPECT_TRUE(lines[0].find(spelled) != std::string::npos ||
              lines[1].find(spelled) != std::string::npos)
      << found.out;
  const CliRun json = run({"duplicates", "--json", "--no-refresh", "--index", index(), dir.path()});
  EXPECT_NE(json.out.find("\"" + dir.path() + "/storm\\n\\udcff.jpg\""), std::string::npos)
      << json.out;
}

TEST_F(CliIndex, ADamagedIndexIsReportedAndRebuilt) {
  mixedFolder();
  writeFileBytes(index(), std::string(5000, '\x17'));
  const CliRun built = run({"index", "--index", index(), dir.path()});
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_NE(built.err.find("damaged"), std::string::npos);
  EXPECT_EQ(built.out, "added 6, refreshed 0, removed 0, failed 0, unchanged 0\n");
  EXPECT_EQ(readFileBytes(index() + ".damaged"), std::string(5000, '\x17'));
}

TEST_F(CliIndex, UnreadableQueriesAndBadOptionsAreReported) {
  mixedFolder();
  writeFileBytes(dir.file("broken.jpg"), "no picture");
  // The broken picture is a failed row.
  const CliRun built = run({"index", "--index", index(), dir.path()});
  EXPECT_EQ(built.out, "added 7, refreshed 0, removed 0, failed 1, unchanged 0\n");
  const CliRun broken = run({"search", "--index", index(), dir.file("broken.jpg"), dir.path()});
  EXPECT_EQ(broken.code, 1);
  EXPECT_NE(broken.err.find("broken.jpg"), std::string::npos);
  EXPECT_EQ(run({"search", "--shortlist", "x", dir.file("aqua.jpg"), dir.path()}).code, 2);
  EXPECT_EQ(run({"index", "--jobs", "0", dir.path()}).code, 2);
  EXPECT_EQ(run({"index", "--index", index()}).code, 2);
  EXPECT_EQ(run({"duplicates", "--threshold", "2", dir.path()}).code, 2);
}

// Starts folim-cli with its output in files; returns its process id.
pid_t spawnCli(const std::vector<std::string>& args, const std::string& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (out + ".err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> all = {binPath("folim-cli")};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : all) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int waitExit(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
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
  const CliRun again = run({"index", "--index", index(), dir.path(), second.path()});
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
  const CliRun second = run({"index", "--index", index(), dir.path()});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(second.out, "added " + std::to_string(kPictures - added) +
                            ", refreshed 0, removed 0, failed 0, unchanged " +
                            std::to_string(added) + "\n");
}

}  // namespace
