#include "codec/rimformat.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "codec/components.h"
#include "codec/limits.h"
#include "codec/raster.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "support/bytes.h"
#include "support/synthetic_rim.h"
#include "support/test_support.h"

using testing_support::getU32;
using testing_support::putU32;
using testing_support::readFileBytes;
using testing_support::smallRim;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;
using testing_support::writeSyntheticRim;

namespace {

RIMHeader sampleHeader() {
  RIMHeader h;
  h.colorSpace = 2;
  h.learningMethod = 1;
  h.imageHeight = 60;
  h.imageWidth = 100;
  h.patchHeight = 8;
  h.patchWidth = 8;
  h.dimension = 96;
  h.averageOffset = 44;
  h.baseOffset = 0x01020304;
  h.coeffOffset = 0xA0B0C0D0;
  return h;
}

struct OpenFile {
  explicit OpenFile(const std::string& path, const char* mode = "rb")
      : file(std::fopen(path.c_str(), mode)) {}
  ~OpenFile() {
    if (file != nullptr) std::fclose(file);
  }
  std::FILE* file;
};

// Reads a whole file the way the decoder does, up to the sections.
Status readWhole(const std::string& path, CRIMCodec& codec) {
  OpenFile f(path);
  if (f.file == nullptr) return status::CannotOpenFile;
  Status s = readHeader(f.file, codec.header);
  if (s == status::Success) s = validateHeader(codec.header, fileLength(f.file));
  if (s == status::Success) s = codec.average.setShapeFromHeader(codec.header);
  if (s == status::Success) s = codec.base.setShapeFromHeader(codec.header);
  if (s == status::Success) s = codec.coeff.setShapeFromHeader(codec.header);
  if (s == status::Success) s = codec.readSections(f.file);
  return s;
}

}  // namespace

TEST(RimHeader, IsFortyFourLittleEndianBytes) {
  std::uint8_t bytes[kRimHeaderSize];
  encodeHeader(sampleHeader(), bytes);
  const std::uint8_t expected[kRimHeaderSize] = {
      0x52, 0x46, 2,  0, 1, 0, 0,    0,    60,   0,    0,    0,    100,  0,   0,
      0,    8,    0,  0, 0, 8, 0,    0,    0,    96,   0,    0,    0,    0,   0,
      0,    0,    44, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0};
  EXPECT_EQ(std::memcmp(bytes, expected, kRimHeaderSize), 0);
  const RIMHeader back = decodeHeader(bytes);
  EXPECT_EQ(back.fileType, 18002);
  EXPECT_EQ(back.colorSpace, 2);
  EXPECT_EQ(back.learningMethod, 1);
  EXPECT_EQ(back.imageWidth, 100u);
  EXPECT_EQ(back.imageHeight, 60u);
  EXPECT_EQ(back.baseOffset, 0x01020304u);
  EXPECT_EQ(back.coeffOffset, 0xA0B0C0D0u);
  EXPECT_EQ(patchCount(back), 104u);
  EXPECT_EQ(patchLength(back), 192u);
}

TEST(RimHeader, ShortReadsAndForeignFilesAreRejected) {
  TempDir dir;
  std::uint8_t bytes[kRimHeaderSize];
  encodeHeader(sampleHeader(), bytes);
  const std::string good(reinterpret_cast<const char*>(bytes), kRimHeaderSize);
  const struct {
    std::string content;
    Status expected;
  } cases[] = {{"", status::ReadFailed},
               {good.substr(0, 43), status::ReadFailed},
               {"BM" + good.substr(2), status::InvalidFileType},
               {good, status::Success}};
  for (const auto& c : cases) {
    writeFileBytes(dir.file("h.rim"), c.content);
    OpenFile f(dir.file("h.rim"));
    RIMHeader h;
    EXPECT_EQ(readHeader(f.file, h), c.expected) << c.content.size();
  }
}

TEST(RimHeader, ValidationRejectsAbsurdShapesBeforeSizing) {
  const RIMHeader ok = sampleHeader();
  EXPECT_EQ(validateHeader(ok), 0);
  auto with = [&](auto change) {
    RIMHeader h = ok;
    change(h);
    return validateHeader(h);
  };
  EXPECT_EQ(with([](RIMHeader& h) { h.patchWidth = 0; }), status::InvalidValues);
  EXPECT_EQ(with([](RIMHeader& h) { h.patchHeight = 0; }), status::InvalidValues);
  EXPECT_EQ(with([](RIMHeader& h) { h.imageWidth = 0; }), status::InvalidValues);
  EXPECT_EQ(with([](RIMHeader& h) { h.imageHeight = 0; }), status::InvalidValues);
  EXPECT_EQ(with([](RIMHeader& h) { h.dimension = 0; }), status::InvalidValues);
  EXPECT_EQ(with([](RIMHeader& h) { h.dimension = 193; }), status::InvalidValues);
  EXPECT_EQ(with([](RIMHeader& h) { h.dimension = 192; }), 0);
  // 3 x pw x ph overflows 32 bits
  EXPECT_EQ(with([](RIMHeader& h) { h.patchWidth = h.patchHeight = 0x10000; }),
            status::InvalidValues);
  EXPECT_EQ(with([](RIMHeader& h) { h.imageWidth = h.imageHeight = 0xFFFFFFFF; }),
            status::InvalidValues);
  // over the patch limit (2^25) with a pixel count and matrices within theirs
  EXPECT_EQ(with([](RIMHeader& h) {
              h.imageWidth = 8192, h.imageHeight = 8192, h.patchWidth = h.patchHeight = 1;
              h.dimension = 1;
            }),
            status::InvalidValues);
  // a bases matrix over the matrix limit: 3 x 8192 x 8192 x 2 doubles
  EXPECT_EQ(with([](RIMHeader& h) {
              h.imageWidth = h.imageHeight = h.patchWidth = h.patchHeight = 8192;
              h.dimension = 2;
            }),
            status::InvalidValues);
}

TEST(RimHeader, FileSizeBoundsTheShapes) {
  RIMHeader h = sampleHeader();
  h.imageWidth = 2048;
  h.imageHeight = 2048;
  h.patchWidth = h.patchHeight = 1;
  h.dimension = 1;  // N = 2^22 coefficient rows of one value
  // cheapest: averages 1 byte (3 rows), bases 0, coefficients 4 x 2^22 / 1032
  const std::uint64_t least = 44 + 120 + 1 + 0 + (UINT64_C(4) << 22) / 1032;
  EXPECT_EQ(minimumFileSize(h), least);
  EXPECT_EQ(validateHeader(h, least), 0);
  EXPECT_EQ(validateHeader(h, least - 1), status::InvalidValues);
  EXPECT_EQ(validateHeader(h, 0), 0);  // unknown size
  EXPECT_EQ(validateHeader(sampleHeader(), 163), status::InvalidValues);
}

TEST(RimHeader, LimitsCanBeTightened) {
  CodecLimits saved = codecLimits();
  codecLimits().maxPixels = 100 * 60 - 1;
  EXPECT_EQ(validateHeader(sampleHeader()), status::InvalidValues);
  codecLimits() = saved;
  EXPECT_EQ(validateHeader(sampleHeader()), 0);
}

TEST(RimDumps, HeaderAndSizesHaveTheirExactLines) {
  TraceCapture trace;
  RIMHeader h = sampleHeader();
  h.baseOffset = 1234;
  h.coeffOffset = 5678;
  printHeader(h);
  printFileSizes(100, 2000, 30000);
  EXPECT_EQ(trace.text(),
            "[Header]\n"
            "  File Type = 18002\n"
            "  ColorSpace = 2\n"
            "  Image = (100, 60)\n"
            "  Patch = (8, 8)\n"
            "  Dimension = 96\n"
            "  OffSet - Average = 44, Base = 1234, Coeff = 5678\n"
            "\n"
            "[File Size]\n"
            "  Ave = 100, Base = 2000, Coeff = 30000, Total = 32100\n\n");
}

TEST(RimSections, PayloadLengthIsTheBitStreamInWholeBytes) {
  TempDir dir;
  for (std::uint32_t bits : {16u, 17u}) {
    CCoeff c;
    ASSERT_EQ(c.stream.putBits(0xABCD, 16), 0);
    if (bits == 17) {
      ASSERT_EQ(c.stream.putBits(1, 1), 0);
    }
    c.parameters.precisionBits = 16;
    c.parameters.maxZeroRun = 7;
    const std::uint32_t payload = bits == 16 ? 2 : 3;
    EXPECT_EQ(c.sectionSize(), 40 + payload);
    {
      OpenFile f(dir.file("s.bin"), "wb");
      ASSERT_EQ(c.writeSection(f.file), 0);
    }
    const std::string bytes = readFileBytes(dir.file("s.bin"));
    ASSERT_EQ(bytes.size(), 40u + payload);
    EXPECT_EQ(getU32(bytes, 0), 0u);       // mode
    EXPECT_EQ(getU32(bytes, 4), payload);  // payloadLength
    EXPECT_EQ(getU32(bytes, 32), 16u);     // precisionBits
    EXPECT_EQ(getU32(bytes, 36), 7u);      // maxZeroRun
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[40]), 0xAB);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[41]), 0xCD);
    if (bits == 17) {
      EXPECT_EQ(static_cast<std::uint8_t>(bytes[42]), 0x80);
    }
  }
}

namespace {

void copyMatrix(KPX::Matrix<double>& to, const KPX::Matrix<double>& from) {
  to.resize(from.rows(), from.cols());
  for (std::uint32_t k = 0; k < from.count(); ++k) to.data()[k] = from.data()[k];
}

// Codes the decoded components of a read file again with the parameters
// and steps the file carries.
Status reencode(CRIMCodec& read, CRIMCodec& out) {
  FOLIM_RETURN_IF_ERROR(read.average.decode(true));
  FOLIM_RETURN_IF_ERROR(read.base.decode(false));
  FOLIM_RETURN_IF_ERROR(read.coeff.decode(false));
  copyMatrix(out.average, read.average);
  copyMatrix(out.base, read.base);
  copyMatrix(out.coeff, read.coeff);
  out.average.steps = read.average.steps;
  out.base.steps = read.base.steps;
  CRIMComponent* from[] = {&read.average, &read.base, &read.coeff};
  CRIMComponent* to[] = {&out.average, &out.base, &out.coeff};
  for (int i = 0; i < 3; ++i) {
    to[i]->mode = from[i]->mode;
    to[i]->parameters.precisionBits = from[i]->parameters.precisionBits;
    to[i]->parameters.maxZeroRun = from[i]->parameters.maxZeroRun;
    FOLIM_RETURN_IF_ERROR(to[i]->encode());
  }
  out.header = read.header;
  return status::Success;
}

}  // namespace

TEST(RimFile, HeaderAndSectionsReadBackByteForByte) {
  TempDir dir;
  for (std::uint32_t mode : {0u, 1u}) {
    SCOPED_TRACE(mode);
    const std::string path = dir.file("small.rim");
    testing_support::SyntheticRim rim = smallRim();
    rim.averageMode = rim.baseMode = rim.coeffMode = mode;
    ASSERT_EQ(writeSyntheticRim(path, rim), 0);
    const std::string written = readFileBytes(path);

    CRIMCodec codec;
    ASSERT_EQ(readWhole(path, codec), 0);
    CRIMCodec again;
    ASSERT_EQ(reencode(codec, again), 0);
    const RIMHeader& h = again.header;
    EXPECT_EQ(h.imageWidth, 5u);
    EXPECT_EQ(h.imageHeight, 3u);
    EXPECT_EQ(h.dimension, 4u);
    EXPECT_EQ(h.averageOffset, 44u);
    EXPECT_EQ(h.baseOffset, 44u + again.average.sectionSize());
    EXPECT_EQ(h.coeffOffset, h.baseOffset + again.base.sectionSize());
    EXPECT_EQ(h.coeffOffset + again.coeff.sectionSize(), written.size());

    {
      OpenFile out(dir.file("copy.rim"), "wb");
      ASSERT_EQ(writeHeaderBytes(out.file, h), 0);
      ASSERT_EQ(again.writeSections(out.file), 0);
    }
    EXPECT_EQ(readFileBytes(dir.file("copy.rim")), written);

    // the size dump agrees with the file
    TraceCapture trace;
    again.printFileSizes();
    EXPECT_EQ(trace.text(),
              stringf("[File Size]\n  Ave = %u, Base = %u, Coeff = %u, Total = %u\n\n",
                      again.average.sectionSize(), again.base.sectionSize(),
                      again.coeff.sectionSize(), static_cast<unsigned>(written.size() - 44)));
  }
}

TEST(RimFile, WriteHeaderFillsTheHeaderFromTheCodec) {
  TempDir dir;
  CRIMCodec codec;
  codec.common.ColorSpace = 1;
  codec.common.PatchWidth = 4;
  codec.common.PatchHeight = 2;
  codec.learning.MaxIterations = 100;
  codec.learning.DimensionReduction = 5;
  CImage source;
  ASSERT_TRUE(source.Create(10, 3, 24));
  {
    OpenFile out(dir.file("h.rim"), "wb");
    ASSERT_EQ(codec.writeHeader(out.file, source), 0);
  }
  const std::string bytes = readFileBytes(dir.file("h.rim"));
  ASSERT_EQ(bytes.size(), 44u);
  RIMHeader h = decodeHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()));
  EXPECT_EQ(h.fileType, kRimMagic);
  EXPECT_EQ(h.colorSpace, 1);
  EXPECT_EQ(h.learningMethod, 1);
  EXPECT_EQ(h.imageWidth, 10u);
  EXPECT_EQ(h.imageHeight, 3u);
  EXPECT_EQ(h.patchWidth, 4u);
  EXPECT_EQ(h.patchHeight, 2u);
  EXPECT_EQ(h.dimension, 5u);
  // empty components: each section is its 40-byte header (plus an empty stream)
  EXPECT_EQ(h.averageOffset, 44u);
  EXPECT_EQ(h.baseOffset, 84u);
  EXPECT_EQ(h.coeffOffset, 124u);
}

TEST(RimFile, LearningMethodComesFromTheHeaderAlone) {
  TempDir dir;
  testing_support::SyntheticRim rim = smallRim();
  rim.learningMethod = 1;
  ASSERT_EQ(writeSyntheticRim(dir.file("ica.rim"), rim), 0);
  std::string bytes = readFileBytes(dir.file("ica.rim"));
  writeFileBytes(dir.file("header-only.rim"), bytes.substr(0, 44));
  writeFileBytes(dir.file("short.rim"), bytes.substr(0, 20));
  writeFileBytes(dir.file("bmp.rim"), "BM" + bytes.substr(2));

  CRIMCodec codec;
  std::uint16_t method = 7;
  EXPECT_EQ(codec.readLearningMethod(dir.file("ica.rim"), method), 0);
  EXPECT_EQ(method, 1);
  method = 7;
  EXPECT_EQ(codec.readLearningMethod(dir.file("header-only.rim"), method), 0);
  EXPECT_EQ(method, 1);
  EXPECT_EQ(codec.readLearningMethod(dir.file("short.rim"), method), status::ReadFailed);
  EXPECT_EQ(codec.readLearningMethod(dir.file("bmp.rim"), method), status::InvalidFileType);
  EXPECT_EQ(codec.readLearningMethod(dir.file("missing.rim"), method), status::CannotOpenFile);
}

TEST(RimFile, SingleSectionsAreReadAtTheirOffsets) {
  TempDir dir;
  const std::string path = dir.file("small.rim");
  ASSERT_EQ(writeSyntheticRim(path, smallRim()), 0);
  CRIMCodec whole;
  ASSERT_EQ(readWhole(path, whole), 0);
  ASSERT_EQ(whole.average.decode(false), 0);
  ASSERT_EQ(whole.base.decode(false), 0);

  RIMHeader h;
  CBase bases;
  ASSERT_EQ(readComponentAt(path, bases, RimSection::Bases, h), 0);
  EXPECT_EQ(h.baseOffset, whole.header.baseOffset);
  ASSERT_EQ(bases.count(), whole.base.count());
  for (std::uint32_t k = 0; k < bases.count(); ++k)
    EXPECT_EQ(bases.data()[k], whole.base.data()[k]);
  EXPECT_EQ(bases.steps[3], 9u);

  CAverage averages;
  ASSERT_EQ(readComponentAt(path, averages, RimSection::Averages, h, true), 0);
  EXPECT_EQ(averages[2][5], 2 * std::trunc((40.0 + 60 + 35) / 2));

  // an offset past the end of the file
  std::string bytes = readFileBytes(path);
  putU32(bytes, 36, static_cast<std::uint32_t>(bytes.size()));
  writeFileBytes(dir.file("bad-offset.rim"), bytes);
  CBase other;
  EXPECT_EQ(readComponentAt(dir.file("bad-offset.rim"), other, RimSection::Bases, h),
            status::ReadFailed);
  CCoeff coefficients;
  EXPECT_EQ(readComponentAt(dir.file("none.rim"), coefficients, RimSection::Coefficients, h),
            status::CannotOpenFile);
}

namespace {

// The small file with one section header field changed.
Status readWithSectionField(std::size_t sectionOffset, std::size_t field, std::uint32_t value) {
  TempDir dir;
  const std::string path = dir.file("small.rim");
  EXPECT_EQ(writeSyntheticRim(path, smallRim()), 0);
  std::string bytes = readFileBytes(path);
  const std::size_t at = sectionOffset == 0 ? 44 : getU32(bytes, sectionOffset);
  putU32(bytes, at + field, value);
  writeFileBytes(path, bytes);
  CRIMCodec codec;
  Status s = readWhole(path, codec);
  if (s == status::Success) s = codec.average.decode(true);
  if (s == status::Success) s = codec.base.decode(true);
  if (s == status::Success) s = codec.coeff.decode(true);
  return s;
}

}  // namespace

TEST(RimSections, DamagedSectionHeadersFailWithAStatus) {
  // mode
  EXPECT_EQ(readWithSectionField(0, 0, 2), status::UnsupportedVersion);
  EXPECT_EQ(readWithSectionField(0, 0, 5), status::UnsupportedVersion);
  EXPECT_EQ(readWithSectionField(40, 0, 0xFFFFFFFF), status::UnsupportedVersion);
  // payloadLength beyond the file
  EXPECT_EQ(readWithSectionField(0, 4, 0xFFFFFFF0), status::ReadFailed);
  EXPECT_EQ(readWithSectionField(36, 4, 0x7FFFFFFF), status::ReadFailed);
  // step counts other than 3 / D / 0
  EXPECT_EQ(readWithSectionField(0, 8, 2), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(36, 8, 0xFFFFFFFF), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(40, 8, 1), status::InvalidValues);
  // table widths and counts that cannot be a code
  EXPECT_EQ(readWithSectionField(0, 12, 33), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(36, 16, 0xFFFFFFFF), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(36, 20, 0), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(40, 24, 100000), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(40, 28, 40), status::InvalidValues);
  // precision and zero run
  EXPECT_EQ(readWithSectionField(0, 32, 0), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(36, 32, 33), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(40, 36, 0), status::InvalidValues);
  EXPECT_EQ(readWithSectionField(40, 36, 0x40000000), status::InvalidValues);
}

namespace {

// A file whose coefficients are deflated, with the zlib stream replaced.
Status decodeWithZlibStream(const std::vector<std::uint8_t>& ints, bool raw = false) {
  TempDir dir;
  const std::string path = dir.file("z.rim");
  testing_support::SyntheticRim rim = smallRim();
  rim.coeffMode = 1;
  EXPECT_EQ(writeSyntheticRim(path, rim), 0);
  std::string bytes = readFileBytes(path);
  const std::size_t at = getU32(bytes, 40);
  std::vector<std::uint8_t> z;
  if (raw) {
    z = ints;
  } else {
    uLongf length = compressBound(ints.size());
    z.resize(length);
    EXPECT_EQ(compress2(z.data(), &length, ints.data(), ints.size(), Z_DEFAULT_COMPRESSION), Z_OK);
    z.resize(length);
  }
  bytes.resize(at + 40);
  bytes.append(reinterpret_cast<const char*>(z.data()), z.size());
  putU32(bytes, at + 4, static_cast<std::uint32_t>(z.size()));  // no step table
  writeFileBytes(path, bytes);
  CRIMCodec codec;
  Status s = readWhole(path, codec);
  if (s == status::Success) s = codec.coeff.decode(true);
  if (s == status::Success) {
    EXPECT_EQ(codec.coeff[5][3], static_cast<double>(ints[(5 * 4 + 3) * 4]));
  }
  return s;
}

}  // namespace

TEST(RimSections, ZlibPayloadsMustInflateToExactlyTheMatrix) {
  const std::size_t bytes = 6 * 4 * 4;  // N = 6, D = 4
  std::vector<std::uint8_t> ints(bytes);
  for (std::size_t i = 0; i < bytes; i += 4) ints[i] = static_cast<std::uint8_t>(i / 4);
  EXPECT_EQ(decodeWithZlibStream(ints), 0);
  std::vector<std::uint8_t> shorter(ints.begin(), ints.end() - 4);
  EXPECT_EQ(decodeWithZlibStream(shorter), status::DecompressFailed);
  std::vector<std::uint8_t> longer = ints;
  longer.resize(bytes + 4);
  EXPECT_EQ(decodeWithZlibStream(longer), status::DecompressFailed);
  EXPECT_EQ(decodeWithZlibStream({0x78, 0x9C, 0xFF, 0xFF, 0xFF}, true), status::DecompressFailed);
  EXPECT_EQ(decodeWithZlibStream({}, true), status::DecompressFailed);
}

TEST(RimSections, PayloadTooShortForItsTablesAndRows) {
  TempDir dir;
  const std::string path = dir.file("small.rim");
  ASSERT_EQ(writeSyntheticRim(path, smallRim()), 0);
  std::string bytes = readFileBytes(path);
  const std::size_t coeff = getU32(bytes, 40);
  // coefficients claim one payload byte, and the file ends there
  bytes.resize(coeff + 41);
  putU32(bytes, coeff + 4, 1);
  writeFileBytes(path, bytes);
  CRIMCodec codec;
  // the averages and bases are whole; the file is still long enough for
  // the shapes, but a 1-byte payload cannot hold the tables and 6 rows
  EXPECT_EQ(readWhole(path, codec), status::InvalidValues);
}
