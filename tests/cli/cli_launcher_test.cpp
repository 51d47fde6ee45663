// The program decodes RIM files to BMP, and encodes plain PPM files, without
// loading the full command set (and the image library with it). That path
// must answer exactly as the full set does: the same files, messages, trace
// and exit status. A "--" before the arguments sends the same request to the
// full set.
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
  std::vector<std::string> options = {};  // the command's
};

// A binary PPM file of width x height pixels with a comment in its header,
// the form image tools write.
std::string plainPpm(int width, int height) {
  std::string file =
      "P6\n# made by the test\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      file += {static_cast<char>(x * 255 / width), static_cast<char>(y * 255 / height),
               static_cast<char>((x * y) % 251)};
  return file;
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string rim = readFileBytes(dataPath("golden/rgb_pca_8x8.rim"));
    writeFileBytes(dir.file("good.rim"), rim);
    writeFileBytes(dir.file("cut.rim"), rim.substr(0, rim.size() / 2));
    writeFileBytes(dir.file("fake.rim"), "BM not a RIM file, but long enough for its header");
    writeFileBytes(dir.file("kept.bmp"), "what was here before");
    writeFileBytes(dir.file("photo.ppm"), plainPpm(64, 40));
  }
  // The request run directly, then through the full set; both leave their
  // output (if any) under its name, the second one's with "full-" first.
  std::pair<ProgramRun, ProgramRun> both(const std::string& command, const Request& r) {
    std::vector<std::string> direct = r.before;
    direct.push_back(command);
    direct.insert(direct.end(), r.options.begin(), r.options.end());
    std::vector<std::string> full = direct;
    direct.insert(direct.end(), {r.input, r.output});
    full.insert(full.end(), {"--", r.input, "full-" + r.output});
    return {runProgram(binPath("folim-cli"), direct, dir.path()),
            runProgram(binPath("folim-cli"), full, dir.path())};
  }
  // Both runs answer alike.
  void expectAlike(const std::string& command, const Request& r) {
    SCOPED_TRACE(r.name);
    const auto [direct, full] = both(command, r);
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
  for (const Request& r : requests) expectAlike("decode", r);
}

TEST_F(Launcher, EncodingAPlainPpmAnswersAsTheFullCommandSet) {
  const Request requests[] = {
      {"quiet", {"--quiet"}, "photo.ppm", "a.rim"},
      {"traced", {}, "photo.ppm", "b.rim"},
      {"threads", {"--threads", "2", "--quiet"}, "photo.ppm", "c.rim"},
      {"normal quality", {"--quiet"}, "photo.ppm", "d.rim", {"--quality", "normal"}},
      {"ICA", {"--quiet"}, "photo.ppm", "e.rim", {"--method", "ica"}},
      {"bad step", {"--quiet"}, "photo.ppm", "f.rim", {"--step", "0"}},
      {"dimension too large", {"--quiet"}, "photo.ppm", "i.rim", {"--dimension", "500"}},
      {"missing folder", {"--quiet"}, "photo.ppm", "nowhere/g.rim"},
      {"missing config", {"--quiet"}, "photo.ppm", "h.rim", {"--config", "none.ini"}},
  };
  for (const Request& r : requests) expectAlike("encode", r);
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
// still decodes to BMP and encodes a plain PPM file: those paths do not load
// it. It reads the options
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
  const ProgramRun encoded =
      runProgram(alone, {"--quiet", "encode", "photo.ppm", "alone.rim"}, dir.path());
  EXPECT_EQ(encoded.exitCode, 0) << encoded.err;

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
