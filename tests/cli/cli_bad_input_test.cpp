// folim-cli's image commands facing inputs and outputs that cannot work:
// each gets a clear message on standard error and exit status 1 (or 2 for
// bad usage), never a crash.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_program.h"
#include "support/test_support.h"

using testing_support::contains;
using testing_support::corpusPath;
using testing_support::ProgramRun;
using testing_support::runCliProgram;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// A folder with the classic bad inputs.
class BadInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFileBytes(dir.file("garbage.jpg"), "this claims to be a JPEG but is not");
    writeFileBytes(dir.file("garbage.rim"),
                   "BM this is not a RIM file, it is long enough for a header");
    writeFileBytes(dir.file("short.rim"), "RF");
    writeFileBytes(dir.file("empty.png"), "");
    writeFileBytes(dir.file("empty.rim"), "");
    std::filesystem::create_directory(dir.file("folder.jpg"));
    std::filesystem::create_directory(dir.file("folder.rim"));
  }
  TempDir dir;
};

}  // namespace

TEST_F(BadInputs, EncodeNamesTheProblemOfItsInput) {
  const std::pair<std::string, std::string> cases[] = {
      {"garbage.jpg", "garbage.jpg: not a readable image"},
      {"empty.png", "empty.png: the file is empty"},
      {"folder.jpg", "folder.jpg: is a folder, not an image file"},
      {"missing.jpg", "missing.jpg: no such file"},
      {"garbage.rim", "garbage.rim: Invalid file type. (not a RIM file)"},
      {"short.rim", "short.rim: Failed in reading file. (the file is cut short)"},
  };
  for (const auto& [input, message] : cases) {
    const ProgramRun r = runCliProgram({"encode", input, "out.rim"}, dir.path());
    EXPECT_EQ(r.exitCode, 1) << input;
    EXPECT_TRUE(contains(r.err, "folim-cli encode: " + message)) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.rim"))) << input;
  }
}

TEST_F(BadInputs, EncodeChecksItsOutputBeforeWorking) {
  ProgramRun r = runCliProgram({"encode", corpusPath("aqua.jpg"), "nowhere/out.rim"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "nowhere/out.rim: its folder does not exist")) << r.err;
  r = runCliProgram({"encode", corpusPath("aqua.jpg"), "folder.rim"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "folder.rim: is a folder")) << r.err;
  r = runCliProgram({"encode", "garbage.jpg", "garbage.jpg"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "the output would overwrite the input")) << r.err;
}

TEST_F(BadInputs, DecodePreviewAndInfoRefuseWhatIsNoRimFile) {
  for (const char* command : {"decode", "preview"}) {
    ProgramRun r = runCliProgram({command, "garbage.rim", "out.png"}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "garbage.rim: Invalid file type. (not a RIM file)")) << r.err;
    r = runCliProgram({command, "empty.rim", "out.png"}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "empty.rim: the file is empty")) << r.err;
    r = runCliProgram({command, "folder.rim", "out.png"}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "folder.rim: is a folder")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.png")));
    // An output format nobody writes is bad usage.
    r = runCliProgram({command, "garbage.rim", "out.rim"}, dir.path());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, "no image format for the extension '.rim'")) << r.err;
    r = runCliProgram({command, "garbage.rim", "out"}, dir.path());
    EXPECT_EQ(r.exitCode, 2);
  }
  ProgramRun r = runCliProgram({"info", "garbage.rim"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "folim-cli info: garbage.rim: Invalid file type.")) << r.err;
  EXPECT_EQ(r.out, "");
  r = runCliProgram({"info", "missing.rim"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "missing.rim: no such file")) << r.err;
}

TEST_F(BadInputs, InfoOfACutFileDumpsTheHeaderAndFails) {
  // A plausible header (100 x 60, 8 x 8 patches, 96 bases) with no sections.
  std::string header(44, '\0');
  const unsigned char fields[] = {0x52, 0x46, 0,  0, 1, 0, 0, 0, 60, 0,  0, 0, 100, 0, 0,
                                  0,    8,    0,  0, 0, 8, 0, 0, 0,  96, 0, 0, 0,   0, 0,
                                  0,    0,    44, 0, 0, 0, 0, 1, 0,  0,  0, 2, 0,   0};
  header.assign(reinterpret_cast<const char*>(fields), sizeof fields);
  writeFileBytes(dir.file("cut.rim"), header);
  const ProgramRun r = runCliProgram({"info", "cut.rim"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.out,
                       "[Header]\n  File Type = 18002\n  ColorSpace = 0\n"
                       "  Image = (100, 60)\n  Patch = (8, 8)\n  Dimension = 96\n"
                       "  OffSet - Average = 44, Base = 256, Coeff = 512\n\n"))
      << r.out;
  EXPECT_FALSE(contains(r.out, "[File Size]"));
  EXPECT_TRUE(contains(r.err, "the sections do not fit in the file")) << r.err;
}

TEST_F(BadInputs, BatchJobsWithMissingFolders) {
  std::filesystem::create_directory(dir.file("src"));
  std::filesystem::copy_file(corpusPath("aqua.jpg"), dir.file("src/aqua.jpg"));
  writeFileBytes(dir.file("src/b.rim"), "not a RIM file");

  ProgramRun r = runCliProgram({"convert-to-rim", "src", "missing"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "folim-cli convert-to-rim: Specified destination dir isn't exist. Please specify a "
            "destination dir.\n");
  EXPECT_EQ(r.out, "");

  r = runCliProgram({"convert-to-bmp", "src", "missing"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "Failed conversion of these files!\n"
            "src/aqua.jpg: the save folder does not exist\n"
            "src/b.rim: the save folder does not exist\n");
  EXPECT_TRUE(contains(r.err, "missing: no such folder")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

  for (const char* command : {"convert-to-rim", "convert-to-bmp"}) {
    r = runCliProgram({command, "nosource", "."}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "nosource: no such folder")) << r.err;
    r = runCliProgram({command, "garbage.jpg", "."}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "garbage.jpg: is not a folder")) << r.err;
  }
  // An empty source folder: the RIM job refuses, the BMP job has nothing to do.
  std::filesystem::create_directory(dir.file("none"));
  r = runCliProgram({"convert-to-rim", "none", "."}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "folim-cli convert-to-rim: there's no file in target directory\n");
  r = runCliProgram({"convert-to-bmp", "none", "."}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Finished converting to BMP images!\n");
}

TEST(CliImageUsage, WrongArgumentsAreBadUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {"encode"},
      {"encode", "a.jpg"},
      {"encode", "--method", "xyz", "a.jpg", "b.rim"},
      {"encode", "--bogus", "a.jpg", "b.rim"},
      {"decode", "a.rim"},
      {"preview", "a.rim", "b.png", "c.png"},
      {"info"},
      {"convert-to-rim", "a"},
      {"convert-to-rim", "--method=nmf", "a", "b"},
      {"convert-to-bmp", "--method", "pca", "a", "b"},
      {"convert-to-rim", "--jobs", "0", "a", "b"},
      {"convert-to-bmp", "--jobs=many", "a", "b"},
      {"convert-to-bmp", "--jobs", "257", "a", "b"},
      {"compare", "a.png"},
  };
  for (const auto& args : cases) {
    const ProgramRun r = runCliProgram(args);
    EXPECT_EQ(r.exitCode, 2) << args[0] << " " << r.err;
    EXPECT_TRUE(contains(r.err, "Usage: folim-cli " + args[0])) << r.err;
  }
  const ProgramRun help = runCliProgram({"--help"});
  for (const char* name :
       {"encode", "decode", "preview", "info", "convert-to-rim", "convert-to-bmp", "compare"})
    EXPECT_TRUE(contains(help.out, std::string("  ") + name)) << name;
}

TEST(CliCompare, PsnrOfTwoImages) {
  TempDir dir;
  // Two 10 x 10 images differing by 10 in one channel of every pixel:
  // MSE = 100 / 3, PSNR = 10 log10(255^2 * 3 / 100) = 32.902 dB.
  std::string a = "P6\n10 10\n255\n", b = a;
  for (int i = 0; i < 100; ++i) {
    a += std::string("\x64\x64\x64", 3);
    b += std::string("\x6e\x64\x64", 3);
  }
  writeFileBytes(dir.file("a.ppm"), a);
  writeFileBytes(dir.file("b.ppm"), b);
  ProgramRun r = runCliProgram({"compare", "a.ppm", "b.ppm"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "PSNR 32.90 dB\n");
  r = runCliProgram({"compare", "a.ppm", "a.ppm"}, dir.path());
  EXPECT_EQ(r.out, "PSNR inf dB (identical)\n");
  r = runCliProgram({"compare", "a.ppm", corpusPath("aqua.jpg")}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "the images differ in size (10 x 10 and 400 x 250)")) << r.err;
}
