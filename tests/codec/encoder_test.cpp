#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "codec/rim_codec.h"
#include "support/bmp_file.h"
#include "support/codec_checks.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::decode;
using testing_support::filesIn;
using testing_support::photograph;
using testing_support::psnr;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;

namespace {

struct Records {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
};

Records defaults(std::uint16_t colorSpace = 0, std::uint32_t iterations = 0) {
  Records r;
  setDefaultParameters(r.common, r.learning, r.compression);
  r.common.ColorSpace = colorSpace;
  r.learning.MaxIterations = iterations;
  return r;
}

Status encode(const CImage& image, const std::string& out, const Records& r,
              const char* basesPath = nullptr, std::string* trace = nullptr) {
  TraceCapture capture;
  CRIMCodec codec;
  Status s = codec.setParameters(&r.common, &r.learning, &r.compression);
  if (s == status::Success) s = codec.encodeFile(out, image, basesPath);
  if (trace != nullptr) *trace = capture.text();
  return s;
}

}  // namespace

TEST(EncoderParameters, TakeOverChecksTheRecords) {
  Records r = defaults();
  CRIMCodec codec;
  EXPECT_EQ(codec.setParameters(nullptr, &r.learning, &r.compression), status::InvalidValues);
  EXPECT_EQ(codec.setParameters(&r.common, &r.learning, nullptr), status::InvalidValues);

  r.common.PatchWidth = r.common.PatchHeight = 4;
  r.learning.DimensionReduction = 49;  // 4 * 4 * 3 = 48 bases at most
  EXPECT_EQ(CRIMCodec().setParameters(&r.common, &r.learning, &r.compression),
            status::InconsistentParameters);
  r.learning.DimensionReduction = 48;
  TraceCapture capture;
  EXPECT_EQ(CRIMCodec().setParameters(&r.common, &r.learning, &r.compression), status::Success);
  EXPECT_EQ(capture.text(), parameterDump(r.common, r.learning, r.compression));
}

TEST(EncoderParameters, UnusableValuesAreRejected) {
  // Values the coder cannot work with would divide by zero or loop forever.
  auto check = [](const Records& r) {
    TraceCapture quiet;
    return CRIMCodec().setParameters(&r.common, &r.learning, &r.compression);
  };
  Records r = defaults();
  r.compression.MaxZeroRun = 0;
  EXPECT_EQ(check(r), status::InvalidConfigValue);
  r = defaults();
  r.compression.CoeffQuantizeStep = 0;  // what a missing key leaves
  EXPECT_EQ(check(r), status::InvalidConfigValue);
  r = defaults();
  r.compression.PrecisionBit = 0xFFFFFFFFu;
  EXPECT_EQ(check(r), status::InvalidConfigValue);
  r = defaults();
  r.common.PatchWidth = 0;
  r.learning.DimensionReduction = 0;
  EXPECT_EQ(check(r), status::InvalidConfigValue);
}

TEST(Encoder, EmptyImageGivesNoOutputAtAll) {
  TempDir dir;
  const Records r = defaults();
  CRIMCodec codec;
  {
    TraceCapture quiet;
    ASSERT_EQ(codec.setParameters(&r.common, &r.learning, &r.compression), 0);
  }
  TraceCapture capture;
  EXPECT_EQ(codec.encodeFile(dir.file("e.rim"), CImage()), status::InvalidValues);
  EXPECT_EQ(capture.text(), "");
  EXPECT_EQ(filesIn(dir.path()), 0u);
}

TEST(Encoder, UnknownColorSpaceFails) {
  TempDir dir;
  const Records r = defaults(7);
  EXPECT_EQ(encode(photograph(), dir.file("c.rim"), r), status::UnsupportedColorSpace);
  EXPECT_EQ(filesIn(dir.path()), 0u);
}

TEST(Encoder, TraceAndFileLayout) {
  TempDir dir;
  std::string trace;
  ASSERT_EQ(encode(photograph(), dir.file("a.rim"), defaults(), nullptr, &trace), 0);

  // Parameter dump, extraction, the learning count (no dots for PCA), the
  // other five step lines, an empty line, the header dump and the size dump.
  std::istringstream lines(trace);
  std::string line;
  std::vector<std::string> all;
  while (std::getline(lines, line)) all.push_back(line);
  const std::vector<std::string> expected = {"",
                                             "  extracting...",
                                             "1",
                                             "  set bases...",
                                             "  pre - convert...",
                                             "  multiply...",
                                             "  compressing...",
                                             "  saving..."};
  std::size_t at = 0;
  while (at < all.size() && all[at] != "  PrecisionBit = 16") ++at;  // last dump line
  for (const std::string& step : expected) {
    ++at;
    ASSERT_LT(at, all.size());
    if (step.empty() || step == "1") {
      EXPECT_EQ(all[at], step);
      continue;
    }
    ASSERT_EQ(all[at].rfind(step, 0), 0u) << all[at];
    EXPECT_GE(std::stod(all[at].substr(step.size())), 0.0);
  }
  EXPECT_EQ(all[at + 1], "");
  EXPECT_EQ(all[at + 2], "[Header]");
  EXPECT_NE(trace.find("  File Type = 18002\n"), std::string::npos);
  EXPECT_NE(trace.find("[File Size]\n"), std::string::npos);

  CRIMCodec reader;
  std::uint16_t method = 9;
  ASSERT_EQ(reader.readLearningMethod(dir.file("a.rim"), method), 0);
  EXPECT_EQ(method, 0);
  const RIMHeader& h = reader.header;
  EXPECT_EQ(h.imageWidth, static_cast<std::uint32_t>(photograph().GetWidth()));
  EXPECT_EQ(h.imageHeight, static_cast<std::uint32_t>(photograph().GetHeight()));
  EXPECT_EQ(h.dimension, 96u);
  EXPECT_EQ(h.averageOffset, 44u);

  // The size dump's sections add up to the file with its 44-byte header.
  const std::size_t sizes = trace.find("  Ave = ");
  ASSERT_NE(sizes, std::string::npos);
  unsigned ave = 0, bases = 0, coeff = 0, total = 0;
  ASSERT_EQ(std::sscanf(trace.c_str() + sizes, "  Ave = %u, Base = %u, Coeff = %u, Total = %u",
                        &ave, &bases, &coeff, &total),
            4);
  EXPECT_EQ(total, ave + bases + coeff);
  EXPECT_EQ(readFileBytes(dir.file("a.rim")).size(), 44u + total);
  EXPECT_EQ(h.baseOffset, 44u + ave);
  EXPECT_EQ(h.coeffOffset + coeff, 44u + total);
}

TEST(Encoder, RoundTripsInEveryColorSpaceWithPcaAndIca) {
  // Floors measured on this photograph with the default parameters (RGB
  // 46.9/46.8 dB for PCA/ICA, YCC 43.2/43.1, HSV 46.5/46.0), less 2-3 dB.
  struct Case {
    std::uint16_t colorSpace;
    std::uint32_t iterations;
    double floor;
  };
  const Case cases[] = {{0, 0, 44.0},  {1, 0, 41.0},  {2, 0, 43.0},
                        {0, 20, 44.0}, {1, 20, 41.0}, {2, 20, 43.0}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "colour space " << c.colorSpace << ", iterations " << c.iterations);
    const std::string path = dir.file("r.rim");
    ASSERT_EQ(encode(photograph(), path, defaults(c.colorSpace, c.iterations)), 0);
    CImage decoded;
    ASSERT_EQ(decode(path, decoded), 0);
    ASSERT_EQ(decoded.GetWidth(), photograph().GetWidth());
    ASSERT_EQ(decoded.GetHeight(), photograph().GetHeight());
    const double quality = psnr(photograph(), decoded);
    EXPECT_GE(quality, c.floor);
    CRIMCodec reader;
    std::uint16_t method = 9;
    ASSERT_EQ(reader.readLearningMethod(path, method), 0);
    EXPECT_EQ(method, c.iterations != 0 ? 1 : 0);
    RecordProperty("psnr_" + std::to_string(c.colorSpace) + "_" + std::to_string(c.iterations),
                   std::to_string(quality));
  }
}

TEST(Encoder, MissingOutputFolderFailsAfterCompressing) {
  TempDir dir;
  std::string trace;
  EXPECT_EQ(encode(photograph(), dir.file("no/such/folder/x.rim"), defaults(), nullptr, &trace),
            status::CannotOpenFile);
  EXPECT_NE(trace.find("  compressing..."), std::string::npos);
  EXPECT_EQ(trace.find("  saving..."), std::string::npos);
  EXPECT_EQ(trace.find("[Header]"), std::string::npos);
}

TEST(Encoder, FailedWriteLeavesNoPartialFile) {
  // The target is a folder, so the finished file cannot take its place: the
  // encode fails and leaves neither a partial file nor a temporary behind.
  TempDir dir;
  const std::string target = dir.file("busy.rim");
  std::filesystem::create_directory(target);
  EXPECT_EQ(encode(photograph(), target, defaults()), status::WriteFailed);
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(EncoderBasesFile, LearnedOnceThenReused) {
  TempDir dir;
  const std::string basesPath = dir.file("bases.dat");
  const Records r = defaults(0, 5);
  std::string trace;
  ASSERT_EQ(encode(photograph(), dir.file("1.rim"), r, basesPath.c_str(), &trace), 0);
  EXPECT_NE(trace.find(".....6\n"), std::string::npos);  // five passes, never converged

  const std::string bytes = readFileBytes(basesPath);
  ASSERT_EQ(bytes.size(), 16u + 96u * 192u * 8u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x56);
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0x4D);
  KPX::Matrix<double> stored;
  ASSERT_EQ(readBasesFile(basesPath, stored), 0);
  EXPECT_EQ(stored.rows(), 96u);
  EXPECT_EQ(stored.cols(), 192u);

  // The second encode takes the stored bases: no learning, the same file.
  ASSERT_EQ(encode(photograph(), dir.file("2.rim"), r, basesPath.c_str(), &trace), 0);
  EXPECT_EQ(trace.find(".....6\n"), std::string::npos);
  EXPECT_EQ(readFileBytes(dir.file("1.rim")), readFileBytes(dir.file("2.rim")));
}

TEST(EncoderBasesFile, WrongShapeAndDamagedFiles) {
  TempDir dir;
  const std::string basesPath = dir.file("bases.dat");
  ASSERT_EQ(encode(photograph(), dir.file("1.rim"), defaults(), basesPath.c_str()), 0);

  Records fewer = defaults();
  fewer.learning.DimensionReduction = 64;  // the file holds 96 bases
  EXPECT_EQ(encode(photograph(), dir.file("2.rim"), fewer, basesPath.c_str()),
            status::InconsistentParameters);

  // A file cut short is not used: the bases are learned again and the file
  // is written anew.
  const std::string bytes = readFileBytes(basesPath);
  writeFileBytes(basesPath, bytes.substr(0, bytes.size() / 2));
  KPX::Matrix<double> stored;
  EXPECT_NE(readBasesFile(basesPath, stored), 0);
  ASSERT_EQ(encode(photograph(), dir.file("3.rim"), defaults(), basesPath.c_str()), 0);
  EXPECT_EQ(readFileBytes(basesPath), bytes);

  writeFileBytes(basesPath,
                 std::string("\x56\x4D\0\0\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F\x08\0\0\0", 16));
  EXPECT_NE(readBasesFile(basesPath, stored), 0);  // absurd size, nothing allocated
}

TEST(EncoderBasesFile, StatusesOfFilesThatCannotServe) {
  TempDir dir;
  KPX::Matrix<double> bases(2, 3);
  for (std::uint32_t k = 0; k < bases.count(); ++k) bases.data()[k] = k;
  // Missing: learn instead. Not writable: the encoder reports a failed write.
  EXPECT_EQ(readBasesFile(dir.file("missing.dat"), bases), status::BufferEmpty);
  EXPECT_EQ(bases.count(), 6u);
  EXPECT_EQ(writeBasesFile(dir.file("no-folder/bases.dat"), bases), status::WriteFailed);
  EXPECT_EQ(writeBasesFile(dir.file("bases.dat"), bases), status::Success);
}
