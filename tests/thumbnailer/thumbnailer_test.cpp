// folim-thumbnailer as file managers and hostile neighbours run it: what it
// writes, what it never writes over, and which names it reads.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/non_regular_files.h"
#include "support/rim_files.h"
#include "support/run_program.h"
#include "support/test_support.h"

using testing_support::binPath;
using testing_support::ProgramRun;
using testing_support::readFileBytes;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);

bool isPng(const std::string& path) { return readFileBytes(path).rfind(kPngSignature, 0) == 0; }

class Thumbnailer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        testing_support::writeRimFile(dir.file("a.rim"), testing_support::patternImage(64, 48)), 0);
    rim = readFileBytes(dir.file("a.rim"));
  }
  ProgramRun thumbnail(const std::vector<std::string>& args) const {
    return testing_support::runProgram(binPath("folim-thumbnailer"), args, dir.path());
  }
  TempDir dir;
  std::string rim;  // the bytes of a.rim
};

// A link planted at the output is replaced by the picture; the file it
// points to keeps its bytes.
TEST_F(Thumbnailer, ReplacesALinkAtTheOutputInsteadOfWritingThroughIt) {
  testing_support::writeFileBytes(dir.file("victim"), "someone else's file");
  fs::create_symlink(dir.file("victim"), dir.file("t.png"));
  const ProgramRun r = thumbnail({"-s", "32", "a.rim", "t.png"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFileBytes(dir.file("victim")), "someone else's file");
  EXPECT_FALSE(fs::is_symlink(dir.file("t.png")));
  EXPECT_TRUE(isPng(dir.file("t.png")));
  EXPECT_EQ(QImage(QString::fromStdString(dir.file("t.png"))).width(), 32);
}

class ThumbnailerSpecialOutput
    : public Thumbnailer,
      public ::testing::WithParamInterface<testing_support::SpecialFile> {};

TEST_P(ThumbnailerSpecialOutput, IsRefusedAndKept) {
  const std::string why = testing_support::cannotMake(GetParam());
  if (!why.empty()) GTEST_SKIP() << why;
  ASSERT_TRUE(testing_support::makeSpecialFile(dir.file("t.png"), GetParam()));
  const ProgramRun r = thumbnail({"a.rim", "t.png"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "folim-thumbnailer: t.png: is not a regular file\n");
  EXPECT_TRUE(testing_support::isSpecialFile(dir.file("t.png"), GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ThumbnailerSpecialOutput,
                         ::testing::ValuesIn(testing_support::kSpecialFiles),
                         testing_support::specialFileTestName);

TEST_F(Thumbnailer, RefusesAFolderAtTheOutput) {
  fs::create_directory(dir.file("t.png"));
  const ProgramRun r = thumbnail({"a.rim", "t.png"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "folim-thumbnailer: t.png: is a folder\n");
  EXPECT_TRUE(fs::is_empty(dir.file("t.png")));
}

// The input named again as the output, however it is spelt, keeps its bytes.
TEST_F(Thumbnailer, RefusesToWriteOverItsInput) {
  fs::create_hard_link(dir.file("a.rim"), dir.file("hard.png"));
  fs::create_symlink("a.rim", dir.file("soft.png"));
  const std::vector<std::string> spellings = {
      "a.rim", "./a.rim", dir.file("a.rim"), "hard.png", "soft.png", "file://" + dir.file("a.rim")};
  for (const std::string& output : spellings) {
    const ProgramRun r = thumbnail({"a.rim", output});
    EXPECT_EQ(r.exitCode, 1) << output;
    EXPECT_NE(r.err.find(": the output would overwrite the input\n"), std::string::npos)
        << output << ": " << r.err;
    EXPECT_EQ(readFileBytes(dir.file("a.rim")), rim) << output;
  }
  EXPECT_TRUE(fs::is_symlink(dir.file("soft.png")));
}

// Names reach the disk as the bytes given, as paths and as file:// URIs
// whose escapes stand for bytes (%20 a space, %C3%A9 UTF-8, %E9 a byte that
// is no UTF-8).
TEST_F(Thumbnailer, ReadsAndWritesNamesAsBytes) {
  const std::string latin1 = "caf\xe9";
  fs::copy_file(dir.file("a.rim"), dir.file(latin1 + ".rim"));
  fs::copy_file(dir.file("a.rim"), dir.file("two words.rim"));
  fs::copy_file(dir.file("a.rim"), dir.file("caf\xc3\xa9.rim"));
  struct Case {
    std::string input, output;
    std::string written;  // the name that must appear
  };
  const std::string uri = "file://" + dir.path() + "/";
  const Case cases[] = {
      {latin1 + ".rim", latin1 + ".png", latin1 + ".png"},
      {uri + "caf%E9.rim", uri + "caf%E9-uri.png", latin1 + "-uri.png"},
      {uri + "two%20words.rim", uri + "two%20words.png", "two words.png"},
      {uri + "caf%C3%A9.rim", "utf8.png", "utf8.png"},
      {"file://localhost" + dir.path() + "/a.rim", "local.png", "local.png"},
  };
  for (const Case& c : cases) {
    const ProgramRun r = thumbnail({"-s", "16", c.input, c.output});
    EXPECT_EQ(r.exitCode, 0) << c.input << ": " << r.err;
    EXPECT_TRUE(isPng(dir.file(c.written))) << c.written;
  }
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().find("\xef\xbf\xbd"), std::string::npos)
        << entry.path();
  // A URI of another machine names no file here.
  const ProgramRun r = thumbnail({"file://elsewhere/a.rim", "x.png"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "folim-thumbnailer: file://elsewhere/a.rim: not a local file\n");
  EXPECT_FALSE(fs::exists(dir.file("x.png")));
}

}  // namespace

// Help that cannot be written (a full disk) fails, as every other output.
TEST(ThumbnailerHelp, ThatCannotBeWrittenFails) {
  const std::string command =
      "'" + binPath("folim-thumbnailer") + "' --help >/dev/full 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(testing_support::runProgram(binPath("folim-thumbnailer"), {"--help"}).exitCode, 0);
}
