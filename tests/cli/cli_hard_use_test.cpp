// folim-cli used hard: odd names, special files, damaged and huge images,
// failing output streams, interrupted and colliding writes. Nothing is lost
// and nothing fails silently.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QBuffer>
#include <QImage>
#include <filesystem>
#include <fstream>

#include "codec/rim_codec.h"
#include "support/non_regular_files.h"
#include "support/run_program.h"
#include "support/test_support.h"

using testing_support::binPath;
using testing_support::contains;
using testing_support::examplesPath;
using testing_support::Launch;
using testing_support::ProgramRun;
using testing_support::readFileBytes;
using testing_support::runCliProgram;
using testing_support::runningAsRoot;
using testing_support::tagOrientation;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace fs = std::filesystem;

namespace {

std::size_t count(const std::string& text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

// A small picture with structure, so that its RIM file has real bases.
void writePicture(const std::string& path, int width, int height, const char* format,
                  int seed = 0) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y,
                     qRgb((x * 7 + seed * 40) % 256, (y * 5 + x * seed) % 256, (x ^ y) % 256));
  // Saved through a buffer: the name goes to the disk as bytes.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
  ASSERT_TRUE(image.save(&buffer, format)) << path;
  writeFileBytes(path, bytes.toStdString());
}

std::uint32_t crc(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      ::crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// A PNG whose header announces width x height; a few bytes of pixel data
// follow, far from all of them.
std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
  const std::string ihdr = "IHDR" + be32(width) + be32(height) + std::string("\x08\x02\0\0\0", 5);
  const std::string idat = "IDAT" + std::string("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9);
  return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(crc(ihdr)) + be32(9) + idat +
         be32(crc(idat)) + be32(0) + "IEND" + be32(crc("IEND"));
}

RIMHeader headerOf(const std::string& path) {
  CRIMCodec codec;
  std::uint16_t method = 0;
  EXPECT_EQ(codec.readLearningMethod(path, method), 0) << path;
  return codec.header;
}

std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class HardUse : public ::testing::Test {
 protected:
  // A folder an ordinary user can work in too.
  std::string folder(const std::string& name) {
    const std::string path = dir.file(name);
    fs::create_directories(path);
    ::chmod(path.c_str(), 0777);
    return path;
  }
  void SetUp() override { ::chmod(dir.path().c_str(), 0777); }
  Launch here() const {
    Launch how;
    how.workDir = dir.path();
    return how;
  }
  // A small RIM file made by folim-cli itself.
  void makeRim(const std::string& name, int seed = 0) {
    writePicture(dir.file(name + ".png"), 48, 40, "PNG", seed);
    const ProgramRun r = runCliProgram({"--quiet", "encode", name + ".png", name + ".rim"}, here());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    fs::remove(dir.file(name + ".png"));
  }
  TempDir dir;
};

// --bases FILE: a file that exists and is not a bases file is never written.
TEST_F(HardUse, BasesFileThatIsNoBasesFileIsRefusedAndKept) {
  writePicture(dir.file("in.png"), 48, 40, "PNG");
  writePicture(dir.file("photo.jpg"), 32, 32, "JPEG");
  ::mkfifo(dir.file("pipe").c_str(), 0644);
  const std::pair<std::string, std::string> cases[] = {
      {"photo.jpg", "photo.jpg: is not a readable bases file"},
      {"in.png", "in.png: is not a readable bases file"},
      {"pipe", "pipe: is not a regular file"},
  };
  for (const auto& [bases, message] : cases) {
    const std::string before = bases == "pipe" ? "" : readFileBytes(dir.file(bases));
    Launch how = here();
    how.timeoutSeconds = 20;
    const ProgramRun r =
        runCliProgram({"--quiet", "encode", "--bases", bases, "in.png", "out.rim"}, how);
    EXPECT_EQ(r.exitCode, 1) << bases << r.err;
    EXPECT_TRUE(contains(r.err, "folim-cli encode: " + message)) << r.err;
    if (bases != "pipe") {
      EXPECT_EQ(readFileBytes(dir.file(bases)), before) << bases;
    }
    EXPECT_FALSE(fs::exists(dir.file("out.rim"))) << bases;
  }
  // A missing file is where the learned bases go.
  const ProgramRun r =
      runCliProgram({"--quiet", "encode", "--bases", "new.bases", "in.png", "out.rim"}, here());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.file("new.bases")));
}

// Two listed files with the same output name: the first in listing order is
// converted, the others fail with the reason; names keep their case.
struct Collision {
  const char* command;
  std::vector<std::string> sources;  // under src/, made from pictures or RIM files
  std::vector<std::string> outputs;  // what the save folder holds afterwards
  std::vector<std::string> refused;  // sources listed as failed
};

class BatchCollisions : public HardUse, public ::testing::WithParamInterface<Collision> {};

TEST_P(BatchCollisions, LaterFilesFailInsteadOfReplacingAnOutput) {
  const Collision& c = GetParam();
  folder("src/sub");
  folder("out");
  for (const std::string& name : c.sources) {
    if (std::string(c.command) == "convert-to-bmp") {
      makeRim("tmp", static_cast<int>(name.size()));
      fs::rename(dir.file("tmp.rim"), dir.file("src/" + name));
    } else {
      const std::string format = fs::path(name).extension() == ".png" ? "PNG" : "JPEG";
      writePicture(dir.file("src/" + name), 40, 32, format.c_str(), static_cast<int>(name.size()));
    }
  }
  const ProgramRun r = runCliProgram({"--quiet", c.command, "--recursive", "src", "out"}, here());
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_EQ(namesIn(dir.file("out")), c.outputs);
  for (const std::string& name : c.refused)
    EXPECT_TRUE(
        contains(r.out, "src/" + name + ": the output name is already produced by this job"))
        << r.out;
  EXPECT_EQ(count(r.out, '\n'), c.refused.size() + 1) << r.out;
}

INSTANTIATE_TEST_SUITE_P(BothJobs, BatchCollisions,
                         ::testing::Values(Collision{"convert-to-rim",
                                                     {"a.jpg", "a.png", "sub/a.jpg", "B.JPG"},
                                                     {"B.rim", "a.rim"},
                                                     {"a.png", "sub/a.jpg"}},
                                           Collision{"convert-to-bmp",
                                                     {"a.rim", "sub/a.rim", "C.RIM"},
                                                     {"C.bmp", "a.bmp"},
                                                     {"sub/a.rim"}}));

// Names that are not UTF-8 reach the disk as the bytes given.
TEST_F(HardUse, NamesThatAreNotUtf8TravelAsBytes) {
  const std::string odd = "q\xff";
  const std::string replaced = "q\xef\xbf\xbd";  // what a UTF-8 round trip makes of it
  writePicture(dir.file(odd + ".png"), 48, 40, "PNG");
  writePicture(dir.file(replaced + ".png"), 24, 16, "PNG");  // a different picture
  ProgramRun r = runCliProgram({"--quiet", "encode", odd + ".png", odd + ".rim"}, here());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(headerOf(dir.file(odd + ".rim")).imageWidth, 48u);
  EXPECT_FALSE(fs::exists(dir.file(replaced + ".rim")));

  r = runCliProgram({"--quiet", "decode", odd + ".rim", "d\xfe.png"}, here());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.file("d\xfe.png")));
  EXPECT_FALSE(fs::exists(dir.file("d\xef\xbf\xbd.png")));

  folder("src");
  folder("rims");
  folder("bmps");
  fs::rename(dir.file(odd + ".png"), dir.file("src/" + odd + ".png"));
  fs::rename(dir.file(replaced + ".png"), dir.file("src/" + replaced + ".png"));
  r = runCliProgram({"--quiet", "convert-to-rim", "src", "rims"}, here());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(headerOf(dir.file("rims/" + odd + ".rim")).imageWidth, 48u);
  EXPECT_EQ(headerOf(dir.file("rims/" + replaced + ".rim")).imageWidth, 24u);
  r = runCliProgram({"--quiet", "convert-to-bmp", "rims", "bmps"}, here());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(QImage(QString::fromStdString(dir.file("bmps/" + replaced + ".bmp"))).width(), 24);
  EXPECT_EQ(namesIn(dir.file("bmps")), (std::vector<std::string>{replaced + ".bmp", odd + ".bmp"}));
}

// Output names up to the file system's limit of 255 bytes can be written.
TEST_F(HardUse, LongOutputNamesAreWritten) {
  writePicture(dir.file("in.png"), 48, 40, "PNG");
  for (const std::size_t length : {245u, 250u, 255u}) {
    const std::string rim = std::string(length - 4, 'r') + ".rim";
    ProgramRun r = runCliProgram({"--quiet", "encode", "in.png", rim}, here());
    EXPECT_EQ(r.exitCode, 0) << length << r.err;
    EXPECT_TRUE(fs::exists(dir.file(rim))) << length;
    const std::string png = std::string(length - 4, 'p') + ".png";
    r = runCliProgram({"--quiet", "decode", rim, png}, here());
    EXPECT_EQ(r.exitCode, 0) << length << r.err;
    EXPECT_TRUE(fs::exists(dir.file(png))) << length;
  }
  for (const std::string& name : namesIn(dir.path())) EXPECT_FALSE(contains(name, ".tmp")) << name;
}

// FIFOs and other special files are never opened for reading: a search
// passes over them, the conversions and single-file commands fail them.
TEST_F(HardUse, SpecialFilesNeverBlock) {
  makeRim("q");
  folder("d");
  folder("out");
  fs::copy_file(dir.file("q.rim"), dir.file("d/real.rim"));
  ::mkfifo(dir.file("d/x.rim").c_str(), 0644);
  ::mkfifo(dir.file("d/y.jpg").c_str(), 0644);
  ::mkfifo(dir.file("c.ini").c_str(), 0644);
  writePicture(dir.file("in.png"), 48, 40, "PNG");
  Launch how = here();
  how.timeoutSeconds = 30;

  ProgramRun r = runCliProgram({"search", "q.rim", "d"}, how);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "d/real.rim")) << r.out;
  EXPECT_FALSE(contains(r.out, "x.rim")) << r.out;

  r = runCliProgram({"--quiet", "convert-to-rim", "d", "out"}, how);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(
      contains(r.out, "d/y.jpg: the source cannot be read as an image: is not a regular file"))
      << r.out;

  r = runCliProgram({"--quiet", "convert-to-bmp", "d", "out"}, how);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(contains(r.out, "d/x.rim: cannot read: is not a regular file")) << r.out;
  EXPECT_TRUE(fs::exists(dir.file("out/real.bmp")));

  r = runCliProgram({"--quiet", "encode", "--config", "c.ini", "in.png", "o.rim"}, how);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "c.ini: is not a regular file")) << r.err;

  r = runCliProgram({"--quiet", "decode", "d/x.rim", "o.png"}, how);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "d/x.rim: is not a regular file")) << r.err;
}

// Results that cannot be written make the command fail.
TEST_F(HardUse, OutputThatCannotBeWrittenFailsTheCommand) {
  makeRim("q");
  folder("d");
  fs::copy_file(dir.file("q.rim"), dir.file("d/a.rim"));
  Launch full = here();
  full.stdoutPath = "/dev/full";
  const std::vector<std::vector<std::string>> commands = {
      {"search", "q.rim", "d"}, {"info", "q.rim"}, {"params"}, {"search", "--json", "q.rim", "d"}};
  for (const auto& args : commands) {
    const ProgramRun r = runCliProgram(args, full);
    EXPECT_EQ(r.exitCode, 1) << args[0] << r.err;
    EXPECT_TRUE(contains(r.err, "cannot write the output: No space left on device")) << r.err;
  }
}

// Folders that cannot be read under --recursive are failures of the job.
TEST_F(HardUse, UnreadableSubfolderIsReported) {
  folder("src/locked");
  folder("out");
  writePicture(dir.file("src/a.png"), 40, 32, "PNG");
  writePicture(dir.file("src/locked/b.png"), 40, 32, "PNG");
  ::chmod(dir.file("src/locked").c_str(), 0);
  Launch user = here();
  user.unprivileged = true;
  for (const char* command : {"convert-to-rim", "convert-to-bmp"}) {
    const ProgramRun r = runCliProgram({"--quiet", command, "--recursive", "src", "out"}, user);
    EXPECT_EQ(r.exitCode, 1) << command << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "src/locked: cannot read the folder: Permission denied")) << r.out;
  }
  EXPECT_TRUE(fs::exists(dir.file("out/a.rim")));
  ::chmod(dir.file("src/locked").c_str(), 0755);
}

// A query that cannot be read fails the search; damaged candidates score -1.
TEST_F(HardUse, DamagedQueryFailsTheSearch) {
  makeRim("a", 1);
  makeRim("b", 2);
  folder("d");
  fs::copy_file(dir.file("a.rim"), dir.file("d/a.rim"));
  const std::string bytes = readFileBytes(dir.file("b.rim"));
  // The header stays whole; the averages or the bases are cut.
  writeFileBytes(dir.file("d/cut.rim"), bytes.substr(0, bytes.size() / 3));
  writeFileBytes(dir.file("q.rim"), bytes.substr(0, bytes.size() / 3));
  ProgramRun r = runCliProgram({"search", "q.rim", "d"}, here());
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(contains(r.err, "The query cannot be read: q.rim")) << r.err;

  r = runCliProgram({"search", "a.rim", "d"}, here());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, " -1.000000 ")) << r.out;  // the damaged candidate
}

// A name cannot forge a result line; --null and --json carry any name.
TEST_F(HardUse, SearchOutputCannotBeForgedByNames) {
  makeRim("q");
  folder("d");
  const std::string forged = "e\n0.999999 0.999999 0.999999 fake.rim";
  fs::copy_file(dir.file("q.rim"), dir.file("d/" + forged));
  fs::copy_file(dir.file("q.rim"), dir.file("d/back\\slash\x01.rim"));
  ProgramRun r = runCliProgram({"search", "q.rim", "d"}, here());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(count(r.out, '\n'), 2u) << r.out;
  EXPECT_TRUE(contains(r.out, " d/e\\n0.999999 0.999999 0.999999 fake.rim\n")) << r.out;
  EXPECT_TRUE(contains(r.out, " d/back\\\\slash\\x01.rim\n")) << r.out;

  r = runCliProgram({"search", "--null", "q.rim", "d"}, here());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(count(r.out, '\0'), 2u);
  EXPECT_TRUE(contains(r.out, " d/" + forged + std::string(1, '\0'))) << r.out;

  r = runCliProgram({"search", "--json", "q.rim", "d"}, here());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(count(r.out, '\n'), 2u) << r.out;
  EXPECT_TRUE(contains(r.out, "\"path\":\"d/e\\n0.999999 0.999999 0.999999 fake.rim\"}")) << r.out;
  EXPECT_TRUE(contains(r.out, "\"path\":\"d/back\\\\slash\\u0001.rim\"}")) << r.out;
  EXPECT_EQ(runCliProgram({"search", "--json", "--null", "q.rim", "d"}, here()).exitCode, 2);
}

// A convergence threshold that is not a positive finite number is refused
// at once with status 20, instead of letting FastICA run without end.
TEST_F(HardUse, UnusableConvergenceThresholdIsRefused) {
  writePicture(dir.file("in.png"), 48, 40, "PNG");
  const std::string defaults = readFileBytes(binPath("config.ini"));
  for (const char* value : {"nan", "0", "-0.5", "inf"}) {
    std::string config = defaults;
    config.replace(config.find("ConversionCondition=0.0001"), 26,
                   std::string("ConversionCondition=") + value);
    config.replace(config.find("MaxIterations=0"), 15, "MaxIterations=1000000");
    writeFileBytes(dir.file("c.ini"), config);
    Launch how = here();
    how.timeoutSeconds = 30;
    const ProgramRun r =
        runCliProgram({"--quiet", "encode", "--config", "c.ini", "in.png", "o.rim"}, how);
    EXPECT_EQ(r.exitCode, 1) << value << r.err;
    EXPECT_TRUE(contains(r.err, "Some value in the config file are invalid.")) << r.err;
  }
}

// Images cut short are failures of a conversion, named with their cause.
TEST_F(HardUse, TruncatedImagesFailTheirConversion) {
  folder("src");
  folder("out");
  fs::copy_file(examplesPath("aqua.jpg"), dir.file("aqua.jpg"));
  fs::copy_file(examplesPath("yellowflower.gif"), dir.file("flower.gif"));
  writePicture(dir.file("pic.bmp"), 40, 32, "BMP");
  writePicture(dir.file("whole.png"), 40, 32, "PNG");
  for (const char* name : {"aqua.jpg", "flower.gif", "pic.bmp"}) {
    const std::string bytes = readFileBytes(dir.file(name));
    writeFileBytes(dir.file(std::string("src/") + name), bytes.substr(0, bytes.size() * 2 / 3));
    const ProgramRun r =
        runCliProgram({"--quiet", "encode", std::string("src/") + name, "o.rim"}, here());
    EXPECT_EQ(r.exitCode, 1) << name;
    EXPECT_TRUE(contains(r.err, "the file is damaged: its image data is cut short")) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("o.rim")));
    // The whole files pass the same check.
    EXPECT_EQ(runCliProgram({"--quiet", "encode", name, "o.rim"}, here()).exitCode, 0) << name;
    fs::remove(dir.file("o.rim"));
  }
  fs::copy_file(dir.file("whole.png"), dir.file("src/whole.png"));
  const ProgramRun r = runCliProgram({"--quiet", "convert-to-rim", "src", "out"}, here());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "Failed conversion of these images!\n"
            "src/aqua.jpg: the file is damaged: its image data is cut short\n"
            "src/flower.gif: the file is damaged: its image data is cut short\n"
            "src/pic.bmp: the file is damaged: its image data is cut short\n");
  EXPECT_EQ(namesIn(dir.file("out")), std::vector<std::string>{"whole.rim"});
}

// Photographs are converted upright, as their orientation tag says.
TEST_F(HardUse, ConversionsFollowTheOrientationTag) {
  folder("src");
  folder("out");
  writePicture(dir.file("src/turned.jpg"), 40, 24, "JPEG");
  tagOrientation(dir.file("src/turned.jpg"), 6);
  ProgramRun r = runCliProgram({"--quiet", "encode", "src/turned.jpg", "one.rim"}, here());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(headerOf(dir.file("one.rim")).imageWidth, 24u);
  EXPECT_EQ(headerOf(dir.file("one.rim")).imageHeight, 40u);
  r = runCliProgram({"--quiet", "convert-to-rim", "src", "out"}, here());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(headerOf(dir.file("out/turned.rim")).imageWidth, 24u);
}

// An image too large to code is refused from its header, before decoding.
TEST_F(HardUse, HugeImagesAreRefusedFromTheirHeader) {
  folder("src");
  folder("out");
  writeFileBytes(dir.file("src/huge.png"), pngHeaderOnly(16000, 16000));
  ProgramRun r = runCliProgram({"--quiet", "encode", "src/huge.png", "o.rim"}, here());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(
      contains(r.err, "src/huge.png: the image is too large to encode (16000 x 16000 pixels)"))
      << r.err;
  r = runCliProgram({"--quiet", "convert-to-rim", "src", "out"}, here());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.out, "src/huge.png: the image is too large to encode")) << r.out;
}

// The failure list names each source once, with its cause.
TEST_F(HardUse, FailureListsNameTheSourceAndTheCause) {
  folder("src");
  folder("locked");
  writePicture(dir.file("src/a.png"), 40, 32, "PNG");
  writePicture(dir.file("src/b.png"), 40, 32, "PNG");
  ::chmod(dir.file("locked").c_str(), 0555);
  Launch user = here();
  user.unprivileged = true;
  ProgramRun r = runCliProgram({"--quiet", "convert-to-rim", "src", "locked"}, user);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "Failed conversion of these images!\n"
            "src/a.png: cannot write: Permission denied\n"
            "src/b.png: cannot write: Permission denied\n");

  // Into itself, a second time: every output is a listed source; each
  // source is named once.
  r = runCliProgram({"--quiet", "convert-to-rim", "src", "src"}, here());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  r = runCliProgram({"--quiet", "convert-to-rim", "src", "src"}, here());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "Failed conversion of these images!\n"
            "src/a.png: the output would overwrite a listed source file\n"
            "src/a.rim: the output would overwrite a listed source file\n"
            "src/b.png: the output would overwrite a listed source file\n"
            "src/b.rim: the output would overwrite a listed source file\n");
}

// A device, FIFO or socket at an output's name is refused with a message and
// left as it is, by every command that writes a picture; the batch jobs
// fail that file and go on.
class SpecialOutputs : public HardUse,
                       public ::testing::WithParamInterface<testing_support::SpecialFile> {
 protected:
  void SetUp() override {
    HardUse::SetUp();
    const std::string why = testing_support::cannotMake(GetParam());
    if (!why.empty()) GTEST_SKIP() << why;
  }
  void place(const std::string& name) {
    ASSERT_TRUE(testing_support::makeSpecialFile(dir.file(name), GetParam())) << name;
  }
  bool kept(const std::string& name) const {
    return testing_support::isSpecialFile(dir.file(name), GetParam());
  }
};

TEST_P(SpecialOutputs, AreRefusedAndKept) {
  makeRim("q");
  writePicture(dir.file("in.png"), 48, 40, "PNG");
  struct Case {
    std::vector<std::string> args;
    std::string output;
    std::string message;
  };
  const Case cases[] = {
      {{"encode", "in.png", "e.rim"}, "e.rim", "folim-cli encode: e.rim: is not a regular file"},
      {{"decode", "q.rim", "d.png"}, "d.png", "folim-cli decode: d.png: is not a regular file"},
      {{"decode", "q.rim", "d.bmp"}, "d.bmp", "folim-cli decode: d.bmp: is not a regular file"},
      {{"preview", "q.rim", "p.png"}, "p.png", "folim-cli preview: p.png: is not a regular file"},
  };
  for (const Case& c : cases) {
    place(c.output);
    std::vector<std::string> args = {"--quiet"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramRun r = runCliProgram(args, here());
    EXPECT_EQ(r.exitCode, 1) << c.output << r.err;
    EXPECT_EQ(r.err, c.message + "\n") << c.output;
    EXPECT_TRUE(kept(c.output)) << c.output;
  }

  folder("src");
  folder("rims");
  folder("bmps");
  writePicture(dir.file("src/a.png"), 40, 32, "PNG");
  writePicture(dir.file("src/b.png"), 40, 32, "PNG", 1);
  place("rims/a.rim");
  ProgramRun r = runCliProgram({"--quiet", "convert-to-rim", "src", "rims"}, here());
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out,
            "Failed conversion of these images!\nsrc/a.png: cannot write: is not a regular file\n");
  EXPECT_TRUE(kept("rims/a.rim"));
  EXPECT_TRUE(fs::is_regular_file(dir.file("rims/b.rim")));

  fs::remove(dir.file("rims/a.rim"));
  place("bmps/b.bmp");
  r = runCliProgram({"--quiet", "convert-to-bmp", "rims", "bmps"}, here());
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out,
            "Failed conversion of these files!\nrims/b.rim: cannot write: is not a regular file\n");
  EXPECT_TRUE(kept("bmps/b.bmp"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialOutputs, ::testing::ValuesIn(testing_support::kSpecialFiles),
                         testing_support::specialFileTestName);

}  // namespace
