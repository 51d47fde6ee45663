// folim-cli's image commands end to end: the built program on real
// photographs in a temporary folder.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <regex>

#include "support/rim_files.h"
#include "support/run_program.h"
#include "support/test_support.h"

using testing_support::binPath;
using testing_support::contains;
using testing_support::corpusPath;
using testing_support::learningMethodOf;
using testing_support::ProgramRun;
using testing_support::readFileBytes;
using testing_support::runCliProgram;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

QImage readImage(const std::string& path) { return QImage(QString::fromStdString(path)); }

}  // namespace

TEST(CliEncode, EncodeInfoDecodeAndCompare) {
  TempDir dir;
  std::filesystem::copy_file(corpusPath("aqua.jpg"), dir.file("aqua.jpg"));

  ProgramRun r = runCliProgram({"encode", "aqua.jpg", "aqua.rim"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // The trace: parameter dump, step lines, header and size dumps.
  EXPECT_EQ(r.out.rfind("[Common Parameters]\n", 0), 0u) << r.out;
  EXPECT_TRUE(contains(r.out, "  saving..."));
  EXPECT_TRUE(contains(r.out, "[Header]\n  File Type = 18002\n"));
  EXPECT_EQ(learningMethodOf(dir.file("aqua.rim")), 0);  // config.ini beside the program: PCA

  // --quiet drops the trace; info prints the dumps anyway.
  r = runCliProgram({"--quiet", "encode", "--method", "ica", "aqua.jpg", "ica.rim"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(learningMethodOf(dir.file("ica.rim")), 1);

  r = runCliProgram({"--quiet", "info", "aqua.rim"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::regex dump(
      "\\[Header\\]\n  File Type = 18002\n  ColorSpace = 0\n  Image = \\(400, 250\\)\n"
      "  Patch = \\(8, 8\\)\n  Dimension = 96\n"
      "  OffSet - Average = 44, Base = (\\d+), Coeff = (\\d+)\n\n"
      "\\[File Size\\]\n  Ave = (\\d+), Base = (\\d+), Coeff = (\\d+), Total = (\\d+)\n\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(r.out, m, dump)) << r.out;
  EXPECT_EQ(std::stoul(m[1]), 44 + std::stoul(m[3]));
  EXPECT_EQ(std::stoul(m[2]), std::stoul(m[1]) + std::stoul(m[4]));
  EXPECT_EQ(std::stoul(m[6]), std::stoul(m[3]) + std::stoul(m[4]) + std::stoul(m[5]));
  EXPECT_EQ(std::filesystem::file_size(dir.file("aqua.rim")), 44 + std::stoul(m[6]));

  r = runCliProgram({"decode", "aqua.rim", "back.BMP"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "  loading time = "));
  EXPECT_EQ(readImage(dir.file("back.BMP")).size(), QSize(400, 250));

  r = runCliProgram({"compare", "aqua.jpg", "back.BMP"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::regex psnr("PSNR (\\d+\\.\\d\\d) dB\n");
  ASSERT_TRUE(std::regex_match(r.out, m, psnr)) << r.out;
  EXPECT_GT(std::stod(m[1]), 30.0);
  // A RIM file is decoded for the comparison.
  r = runCliProgram({"--quiet", "compare", "back.BMP", "aqua.rim"}, dir.path());
  EXPECT_EQ(r.out, "PSNR inf dB (identical)\n");

  r = runCliProgram({"preview", "aqua.rim", "small.png"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");  // the preview prints nothing
  EXPECT_EQ(readImage(dir.file("small.png")).size(), QSize(50, 32));
}

TEST(CliEncode, ConfigAndStoredBases) {
  TempDir dir;
  std::string config = readFileBytes(binPath("config.ini"));
  const std::size_t at = config.find("DimensionReduction=96");
  ASSERT_NE(at, std::string::npos);
  config.replace(at, 21, "DimensionReduction=32");
  writeFileBytes(dir.file("small.ini"), config);

  ProgramRun r = runCliProgram(
      {"encode", "--config", "small.ini", "--bases", "b.bin", corpusPath("dune.jpg"), "a.rim"},
      dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "  Dimension = 32\n"));
  // 16-byte header (magic 19798, 32 rows, 192 columns, 8) and the doubles.
  EXPECT_EQ(std::filesystem::file_size(dir.file("b.bin")), 16u + 32u * 192u * 8u);
  r = runCliProgram({"--quiet", "encode", "--config", "small.ini", "--bases", "b.bin",
                     corpusPath("dune.jpg"), "b.rim"},
                    dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFileBytes(dir.file("a.rim")), readFileBytes(dir.file("b.rim")));
  // Bases of the wrong shape for the parameters: the encoder's status.
  r = runCliProgram({"encode", "--bases", "b.bin", corpusPath("dune.jpg"), "c.rim"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(
      contains(r.err, "folim-cli encode: c.rim: There are inconsistency between parameters."))
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.rim")));
}

TEST(CliBatch, ConvertToRimAndBackToBmp) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("src/sub"));
  std::filesystem::create_directories(dir.file("rim"));
  std::filesystem::create_directories(dir.file("bmp"));
  std::filesystem::copy_file(corpusPath("aqua.jpg"), dir.file("src/Aqua.JPG"));
  std::filesystem::copy_file(corpusPath("yellowflower.gif"), dir.file("src/flower.gif"));
  std::filesystem::copy_file(corpusPath("storm.jpg"), dir.file("src/sub/storm.jpg"));
  writeFileBytes(dir.file("src/notes.txt"), "not an image");

  ProgramRun r = runCliProgram({"--quiet", "convert-to-rim", "src", "rim"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "finished conversion to RIM images!\n");
  EXPECT_EQ(r.err, "");  // no progress line when standard error is no terminal
  EXPECT_TRUE(std::filesystem::exists(dir.file("rim/Aqua.rim")));  // the name keeps its case
  EXPECT_TRUE(std::filesystem::exists(dir.file("rim/flower.rim")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("rim/storm.rim")));

  // Recursive, ICA, with the trace: the subfolder's image lands flat.
  r = runCliProgram({"convert-to-rim", "--recursive", "--method=ICA", "src", "rim/"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "  Iteration = 100\n"));
  EXPECT_TRUE(contains(r.out, "\nfinished conversion to RIM images!\n"));
  EXPECT_EQ(learningMethodOf(dir.file("rim/storm.rim")), 1);

  r = runCliProgram({"--quiet", "convert-to-bmp", "rim", "bmp"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Finished converting to BMP images!\n");
  EXPECT_EQ(readImage(dir.file("bmp/storm.bmp")).size(), QSize(400, 267));
  EXPECT_EQ(readImage(dir.file("bmp/Aqua.bmp")).size(), QSize(400, 250));

  // The BMP job over the source folder: nothing there is a RIM file.
  r = runCliProgram({"--quiet", "convert-to-bmp", "--recursive", "src", "bmp"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "Failed conversion of these files!\n"
            "src/Aqua.JPG: cannot decode: Invalid file type.\n"
            "src/flower.gif: cannot decode: Invalid file type.\n"
            "src/sub/storm.jpg: cannot decode: Invalid file type.\n");
  EXPECT_TRUE(contains(r.err, "src/Aqua.JPG: cannot decode: Invalid file type.")) << r.err;
}

TEST(CliBatch, FailuresAreListedAndSourcesNeverReplaced) {
  TempDir dir;
  std::filesystem::copy_file(corpusPath("dune.jpg"), dir.file("dune.jpg"));
  writeFileBytes(dir.file("fake.png"), "this claims to be a PNG");
  // A PNG under a RIM name: converting in place would write over it.
  std::filesystem::copy_file(corpusPath("ladybird.png"), dir.file("lady.rim"));
  const std::string lady = readFileBytes(dir.file("lady.rim"));

  ProgramRun r = runCliProgram({"--quiet", "convert-to-rim", ".", "."}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "Failed conversion of these images!\n"
            "./fake.png: the source cannot be read as an image: Unable to read image data\n"
            "./lady.rim: the output would overwrite a listed source file\n");
  EXPECT_TRUE(contains(r.err, "./fake.png: the source cannot be read as an image")) << r.err;
  EXPECT_TRUE(contains(r.err, "./lady.rim: the output would overwrite a listed source file"))
      << r.err;
  EXPECT_EQ(readFileBytes(dir.file("lady.rim")), lady);
  EXPECT_EQ(learningMethodOf(dir.file("dune.rim")), 0);

  // Back to BMP in place: dune.rim decodes, the rest fail.
  r = runCliProgram({"--quiet", "convert-to-bmp", ".", "."}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "Failed conversion of these files!\n"
            "./dune.jpg: cannot decode: Invalid file type.\n"
            "./fake.png: cannot decode: Failed in reading file.\n"
            "./lady.rim: cannot decode: Invalid file type.\n");
  EXPECT_EQ(readImage(dir.file("dune.bmp")).size(), QSize(400, 250));
  EXPECT_EQ(readFileBytes(dir.file("lady.rim")), lady);
}

TEST(CliBatch, ProgressCounterOnlyOnATerminal) {
  if (!std::filesystem::exists("/usr/bin/script"))
    GTEST_SKIP() << "no script(1) to give a terminal";
  TempDir dir;
  std::filesystem::create_directories(dir.file("src"));
  std::filesystem::create_directories(dir.file("out"));
  std::filesystem::copy_file(corpusPath("aqua.jpg"), dir.file("src/a.jpg"));
  std::filesystem::copy_file(corpusPath("dune.jpg"), dir.file("src/b.jpg"));
  // script(1) runs the command on a pseudo-terminal and copies what it shows.
  const std::string command = binPath("folim-cli") + " --quiet convert-to-rim src out";
  const ProgramRun r = runProgram("/usr/bin/script", {"-qec", command, "/dev/null"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "\r\033[K[1/2] a.jpg\r\033[K[2/2] b.jpg")) << r.out;
  EXPECT_TRUE(contains(r.out, "finished conversion to RIM images!")) << r.out;
}

TEST(CliBatchThreads, JobsGiveTheOneJobOutput) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("src"));
  for (const char* name : {"aqua.jpg", "dune.jpg", "blinds.jpg", "garden.jpg"})
    std::filesystem::copy_file(corpusPath(name), dir.file(std::string("src/") + name));
  // Same output name as aqua.jpg; a file that is no image.
  std::filesystem::copy_file(corpusPath("ladybird.png"), dir.file("src/aqua.png"));
  writeFileBytes(dir.file("src/fake.png"), "this claims to be a PNG");
  const std::regex timing("[0-9]+\\.[0-9]+(e[+-]?[0-9]+)?");
  const auto run = [&](const std::string& command, const std::string& from,
                       const std::string& jobs) {
    const std::string out = command + jobs;
    std::filesystem::create_directories(dir.file(out));
    ProgramRun r = runCliProgram({command, "--jobs", jobs, from, out}, dir.path());
    // The output folder's name and the timings differ from run to run.
    const std::regex folder(out);
    r.out = std::regex_replace(std::regex_replace(r.out, timing, "#"), folder, "OUT");
    r.err = std::regex_replace(r.err, folder, "OUT");
    std::vector<std::string> files;
    for (const char* name : {"aqua.rim", "dune.rim", "blinds.rim", "garden.rim", "aqua.bmp",
                             "dune.bmp", "blinds.bmp", "garden.bmp"})
      files.push_back(std::filesystem::exists(dir.file(out + "/" + name))
                          ? readFileBytes(dir.file(out + "/" + name))
                          : std::string("none"));
    return std::make_tuple(r.exitCode, r.out, r.err, files);
  };
  const auto rim1 = run("convert-to-rim", "src", "1");
  EXPECT_EQ(std::get<0>(rim1), 1);
  EXPECT_TRUE(contains(std::get<2>(rim1), "src/aqua.png: the output name is already produced"));
  EXPECT_EQ(run("convert-to-rim", "src", "4"), rim1);
  const auto bmp1 = run("convert-to-bmp", "convert-to-rim1", "1");
  EXPECT_EQ(std::get<0>(bmp1), 0) << std::get<2>(bmp1);
  EXPECT_EQ(run("convert-to-bmp", "convert-to-rim1", "4"), bmp1);
}
