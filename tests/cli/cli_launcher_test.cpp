// The program decodes RIM files to BMP without loading the full command set
// (and the image library with it). That path must answer exactly as the
// full set does: the same files, messages, trace and exit status. A "--"
// before the arguments sends the same request to the full set.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "support/run_program.h"
#include "support/test_support.h"

using testing_support::binPath;
using testing_support::dataPath;
using testing_support::ProgramRun;
using testing_support::readFileBytes;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// Step timings differ from run to run.
std::string maskTimings(const std::string& text) {
  return std::regex_replace(text, std::regex("[0-9.]+(e-?[0-9]+)?"), "#");
}

struct Request {
  const char* name;
  std::vector<std::string> before;  // global options
  std::string input;                // in the test folder
  std::string output;
};

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string rim = readFileBytes(dataPath("golden/rgb_pca_8x8.rim"));
    writeFileBytes(dir.file("good.rim"), rim);
    writeFileBytes(dir.file("cut.rim"), rim.substr(0, rim.size() / 2));
    writeFileBytes(dir.file("fake.rim"), "BM not a RIM file, but long enough for its header");
    writeFileBytes(dir.file("kept.bmp"), "what was here before");
  }
  // The request run directly, then through the full set; both leave their
  // output (if any) under its name, the second one's with "full-" first.
  std::pair<ProgramRun, ProgramRun> both(const Request& r) {
    std::vector<std::string> direct = r.before;
    direct.insert(direct.end(), {"decode", r.input, r.output});
    std::vector<std::string> full = r.before;
    full.insert(full.end(), {"decode", "--", r.input, "full-" + r.output});
    return {runProgram(binPath("folim-cli"), direct, dir.path()),
            runProgram(binPath("folim-cli"), full, dir.path())};
  }
  TempDir dir;
};

TEST_F(Launcher, DecodingToBmpAnswersAsTheFullCommandSet) {
  const Request requests[] = {
      {"quiet", {"--quiet"}, "good.rim", "a.bmp"},
      {"traced, upper case", {}, "good.rim", "b.BMP"},
      {"threads", {"--threads", "2", "--quiet"}, "good.rim", "c.bmp"},
      {"threads with a sign", {"--threads", "+2", "--quiet"}, "good.rim", "h.bmp"},
      {"cut short", {"--quiet"}, "cut.rim", "d.bmp"},
      {"not a RIM file", {"--quiet"}, "fake.rim", "e.bmp"},
      {"missing input", {"--quiet"}, "missing.rim", "f.bmp"},
      {"missing folder", {"--quiet"}, "good.rim", "nowhere/g.bmp"},
  };
  for (const Request& r : requests) {
    SCOPED_TRACE(r.name);
    const auto [direct, full] = both(r);
    EXPECT_EQ(direct.exitCode, full.exitCode);
    EXPECT_EQ(maskTimings(direct.out), maskTimings(full.out));
    // The full set's messages name its own output.
    EXPECT_EQ(direct.err, std::regex_replace(full.err, std::regex("full-"), ""));
    const bool written = std::filesystem::exists(dir.file(r.output));
    EXPECT_EQ(written, std::filesystem::exists(dir.file("full-" + r.output)));
    EXPECT_EQ(written, direct.exitCode == 0);
    if (written) {
      EXPECT_EQ(readFileBytes(dir.file(r.output)), readFileBytes(dir.file("full-" + r.output)));
    }
  }
}

TEST_F(Launcher, DamagedInputLeavesAnExistingOutputAlone) {
  const ProgramRun r =
      runProgram(binPath("folim-cli"), {"--quiet", "decode", "cut.rim", "kept.bmp"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(readFileBytes(dir.file("kept.bmp")), "what was here before");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

// Alone in a folder, without the full command set beside it, the program
// still decodes to BMP: that path does not load it. It reads the options
// before the command as the full set does.
TEST_F(Launcher, DecodesToBmpWithoutTheFullCommandSet) {
  const std::string alone = dir.file("folim-cli");
  std::filesystem::copy_file(binPath("folim-cli"), alone);
  const ProgramRun reference = runProgram(
      binPath("folim-cli"), {"--quiet", "decode", "--", "good.rim", "ref.bmp"}, dir.path());
  ASSERT_EQ(reference.exitCode, 0) << reference.err;
  const std::vector<std::string> options[] = {{"--quiet"}, {"--threads", "+2", "--quiet"}};
  for (const std::vector<std::string>& before : options) {
    std::vector<std::string> args = before;
    args.insert(args.end(), {"decode", "good.rim", "alone.bmp"});
    const ProgramRun r = runProgram(alone, args, dir.path());
    EXPECT_EQ(r.exitCode, 0) << before.front() << ": " << r.err;
    EXPECT_EQ(readFileBytes(dir.file("alone.bmp")), readFileBytes(dir.file("ref.bmp")));
    std::filesystem::remove(dir.file("alone.bmp"));
  }

  std::FILE* pipe = ::popen(("readelf -d '" + binPath("folim-cli") + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string dynamic;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    dynamic.append(buffer, n);
  ::pclose(pipe);
  EXPECT_NE(dynamic.find("NEEDED"), std::string::npos);
  EXPECT_EQ(dynamic.find("Qt6"), std::string::npos) << dynamic;
}

}  // namespace
