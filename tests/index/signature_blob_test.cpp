// Signature blobs: what is written reads back exactly, and anything a damaged
// file could hand over is refused.
#include "index/signature_blob.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include <zlib.h>

#include "retrieval/synthetic_rim.h"
#include "support/bytes.h"
#include "support/test_support.h"

using testing_support::putU32;
using testing_support::TempDir;

namespace {

Signature sampleSignature() {
  TempDir dir;
  const RIMHeader h = synthetic::header(120, 88, 8, 24, 1);
  EXPECT_EQ(synthetic::write(dir.file("a.rim"), synthetic::randomRim(h, 5)), 0);
  Signature s;
  EXPECT_EQ(ReadRimSignature(dir.file("a.rim"), s), status::Success);
  return s;
}

void expectEqual(const Signature& a, const Signature& b) {
  EXPECT_EQ(a.learningMethod, b.learningMethod);
  EXPECT_EQ(a.imageWidth, b.imageWidth);
  EXPECT_EQ(a.imageHeight, b.imageHeight);
  EXPECT_EQ(a.patchWidth, b.patchWidth);
  EXPECT_EQ(a.patchHeight, b.patchHeight);
  EXPECT_EQ(a.dimension, b.dimension);
  ASSERT_EQ(a.bases.rows(), b.bases.rows());
  ASSERT_EQ(a.bases.cols(), b.bases.cols());
  EXPECT_EQ(0, std::memcmp(a.bases.data(), b.bases.data(), a.bases.count() * sizeof(double)));
  ASSERT_EQ(a.baseNorms.count(), b.baseNorms.count());
  for (std::uint32_t k = 0; k < a.baseNorms.count(); ++k) EXPECT_EQ(a.baseNorms[k], b.baseNorms[k]);
  ASSERT_EQ(a.blockMeans.count(), b.blockMeans.count());
  for (std::uint32_t k = 0; k < a.blockMeans.count(); ++k)
    EXPECT_EQ(a.blockMeans.data()[k], b.blockMeans.data()[k]);
  ASSERT_EQ(a.histogram.count(), b.histogram.count());
  for (std::uint32_t k = 0; k < a.histogram.count(); ++k) EXPECT_EQ(a.histogram[k], b.histogram[k]);
  ASSERT_EQ(a.structure.count(), b.structure.count());
  for (std::uint32_t k = 0; k < a.structure.count(); ++k) EXPECT_EQ(a.structure[k], b.structure[k]);
  ASSERT_EQ(a.relativeHistogram.count(), b.relativeHistogram.count());
  for (std::uint32_t k = 0; k < a.relativeHistogram.count(); ++k)
    EXPECT_EQ(a.relativeHistogram[k], b.relativeHistogram[k]);
}

// What blobs of the versions before the relative histogram keep of s.
Signature withoutRelative(Signature s) {
  s.relativeHistogram = KPX::Vector<double>();
  return s;
}

TEST(SignatureBlob, ReadsBackWhatWasWritten) {
  const Signature s = sampleSignature();
  const std::vector<std::uint8_t> blob = EncodeSignature(s);
  // 7-bit bases take one byte each.
  EXPECT_LT(blob.size(), s.bases.count() + 2000);
  Signature back;
  ASSERT_TRUE(DecodeSignature(blob.data(), blob.size(), back));
  expectEqual(s, back);
}

TEST(SignatureBlob, KeepsBasesThatAreNotWholeNumbersExactly) {
  Signature s = sampleSignature();
  s.bases.data()[3] = 0.125;
  s.bases.data()[4] = 1e12;
  ComputeBaseNorms(s);
  const std::vector<std::uint8_t> blob = EncodeSignature(s);
  Signature back;
  ASSERT_TRUE(DecodeSignature(blob.data(), blob.size(), back));
  expectEqual(s, back);
}

struct Damage {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> apply;
};

// A blob's fields without the checksum that ends it.
std::vector<std::uint8_t> fieldsOf(std::vector<std::uint8_t> blob) {
  blob.resize(blob.size() - 4);
  return blob;
}

// The fields with a checksum that matches them, so that a damage reaches
// the checks of the fields themselves.
std::vector<std::uint8_t> sealed(std::vector<std::uint8_t> fields) {
  const std::uint32_t crc = static_cast<std::uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), fields.data(), static_cast<uInt>(fields.size())));
  for (int i = 0; i < 4; ++i) fields.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
  return fields;
}

class DamagedSignatureBlob : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedSignatureBlob, IsRefusedAndLeavesTheSignatureAlone) {
  std::vector<std::uint8_t> fields = fieldsOf(EncodePlainSignature(sampleSignature()));
  GetParam().apply(fields);
  const std::vector<std::uint8_t> blob = sealed(fields);
  Signature s;
  s.dimension = 77;
  EXPECT_FALSE(DecodeSignature(blob.data(), blob.size(), s));
  EXPECT_EQ(s.dimension, 77u);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedSignatureBlob,
    ::testing::Values(Damage{"empty", [](auto& b) { b.clear(); }},
                      Damage{"cut_short", [](auto& b) { b.pop_back(); }},
                      Damage{"one_byte_more", [](auto& b) { b.push_back(0); }},
                      Damage{"magic", [](auto& b) { b[0] ^= 1; }},
                      Damage{"learning_flag_2", [](auto& b) { b[4] = 2; }},
                      Damage{"base_width_3", [](auto& b) { b[6] = 3; }},
                      Damage{"zero_width", [](auto& b) { putU32(b, 8, 0); }},
                      Damage{"huge_height", [](auto& b) { putU32(b, 12, 0xFFFFFFF0u); }},
                      Damage{"zero_patch", [](auto& b) { putU32(b, 16, 0); }},
                      Damage{"dimension_above_patch", [](auto& b) { putU32(b, 24, 193); }},
                      Damage{"base_rows_differ", [](auto& b) { putU32(b, 28, 23); }},
                      // One base row fewer than the dimension, the length
                      // made to match: only the row count gives it away.
                      Damage{"base_rows_differ_length_kept",
                             [](auto& b) {
                               const std::size_t rowBytes = std::size_t{b[16]} * b[20] * 3 * b[6];
                               putU32(b, 28, 23);
                               b.erase(b.begin() + 44,
                                       b.begin() + 44 + static_cast<long>(rowBytes));
                             }},
                      Damage{"block_cells_wrong", [](auto& b) { putU32(b, 32, 15); }},
                      Damage{"histogram_bins_huge", [](auto& b) { putU32(b, 36, 0x7FFFFFFFu); }},
                      Damage{"structure_nan",
                             [](auto& b) {
                               const double nan = std::nan("");
                               std::memcpy(&b[b.size() - 8], &nan, 8);
                             }}),
    [](const ::testing::TestParamInfo<Damage>& p) { return std::string(p.param.name); });

TEST(CompactBlob, ReadsBackWhatWasWritten) {
  const CompactSignature c = MakeCompact(sampleSignature());
  const std::vector<std::uint8_t> blob = EncodeCompact(c);
  CompactSignature back;
  ASSERT_TRUE(DecodeCompact(blob.data(), blob.size(), back));
  EXPECT_EQ(back.learningMethod, 1);
  EXPECT_EQ(back.structure, c.structure);
  EXPECT_EQ(back.edgeProfile, c.edgeProfile);
  EXPECT_EQ(back.blockMeans, c.blockMeans);
  EXPECT_EQ(back.histogram, c.histogram);
}

TEST(CompactBlob, RefusesDamage) {
  const std::vector<std::uint8_t> good = fieldsOf(EncodeCompact(MakeCompact(sampleSignature())));
  CompactSignature c;
  std::vector<std::uint8_t> b = good;
  b.pop_back();
  EXPECT_FALSE(DecodeCompact(sealed(b).data(), sealed(b).size(), c));
  b = good;
  b[1] ^= 4;
  EXPECT_FALSE(DecodeCompact(sealed(b).data(), sealed(b).size(), c));
  b = good;
  b[4] = 9;  // learning flag
  EXPECT_FALSE(DecodeCompact(sealed(b).data(), sealed(b).size(), c));
  b = good;
  const float inf = INFINITY;
  std::memcpy(&b[12], &inf, 4);
  EXPECT_FALSE(DecodeCompact(sealed(b).data(), sealed(b).size(), c));
}

// Damage that leaves every field plausible (a feature turned into another
// finite number) is found by the checksum, in either blob, wherever it lies.
TEST(Blobs, AChangedByteAnywhereIsRefused) {
  const Signature s = sampleSignature();
  const std::vector<std::uint8_t> blobs[] = {EncodeSignature(s), EncodeCompact(MakeCompact(s))};
  for (const std::vector<std::uint8_t>& good : blobs) {
    for (std::size_t at = 0; at < good.size(); at += 7) {
      std::vector<std::uint8_t> b = good;
      b[at] ^= 0x10;
      Signature back;
      CompactSignature compact;
      EXPECT_FALSE(DecodeSignature(b.data(), b.size(), back)) << at;
      EXPECT_FALSE(DecodeCompact(b.data(), b.size(), compact)) << at;
    }
  }
}

// Blobs written before the checksum (version 1) are still read.
TEST(Blobs, FirstVersionBlobsWithoutAChecksumAreRead) {
  const Signature s = sampleSignature();
  std::vector<std::uint8_t> signature = fieldsOf(EncodePlainSignature(s));
  CompactSignature firstCompact = MakeCompact(s);
  firstCompact.hasRelative = false;
  std::vector<std::uint8_t> compact = fieldsOf(EncodeCompact(firstCompact));
  signature[3] = compact[3] = '1';  // "FSG1", "FSC1"
  Signature back;
  ASSERT_TRUE(DecodeSignature(signature.data(), signature.size(), back));
  expectEqual(withoutRelative(s), back);
  CompactSignature c;
  ASSERT_TRUE(DecodeCompact(compact.data(), compact.size(), c));
  EXPECT_EQ(c.structure, MakeCompact(s).structure);
  // Without a checksum, a version 1 blob that carries one is too long.
  std::vector<std::uint8_t> both = EncodePlainSignature(s);
  both[3] = '1';
  EXPECT_FALSE(DecodeSignature(both.data(), both.size(), back));
}

// Blobs written before the fields were deflated (version 2) are still read.
TEST(Blobs, SecondVersionBlobsAreRead) {
  const Signature s = sampleSignature();
  const std::vector<std::uint8_t> plain = EncodePlainSignature(s);
  ASSERT_EQ(std::string(plain.begin(), plain.begin() + 4), "FSG2");
  Signature back;
  ASSERT_TRUE(DecodeSignature(plain.data(), plain.size(), back));
  expectEqual(withoutRelative(s), back);
  EXPECT_EQ(EncodeSignature(back), EncodeSignature(withoutRelative(s)));
}

// A deflated blob: "FSG3", the inflated length, deflated bytes (the last
// cut of them left out), sealed with a CRC that matches, so that the damage
// reaches the inflation and the checks of the fields.
std::vector<std::uint8_t> deflatedBlob(const std::vector<std::uint8_t>& fields,
                                       std::uint32_t announced, std::size_t cut = 0,
                                       char version = '3') {
  std::vector<std::uint8_t> out = {'F', 'S', 'G', static_cast<std::uint8_t>(version), 0, 0, 0, 0};
  putU32(out, 4, announced);
  uLongf size = compressBound(static_cast<uLong>(fields.size()));
  std::vector<std::uint8_t> deflated(size);
  EXPECT_EQ(compress(deflated.data(), &size, fields.data(), static_cast<uLong>(fields.size())),
            Z_OK);
  out.insert(out.end(), deflated.begin(), deflated.begin() + static_cast<long>(size - cut));
  return sealed(out);
}

TEST(Blobs, DeflatedFieldsMustInflateToExactlyWhatTheyAnnounce) {
  const Signature s = sampleSignature();
  const std::vector<std::uint8_t> plain = fieldsOf(EncodePlainSignature(s));
  const std::vector<std::uint8_t> fields(plain.begin() + 4, plain.end());
  const auto length = static_cast<std::uint32_t>(fields.size());
  Signature back;
  // The test's own deflating is read like the index's.
  const std::vector<std::uint8_t> good = deflatedBlob(fields, length);
  ASSERT_TRUE(DecodeSignature(good.data(), good.size(), back));
  expectEqual(withoutRelative(s), back);

  std::vector<std::uint8_t> trailing = fieldsOf(good);
  trailing.push_back(0);
  std::vector<std::uint8_t> bigger = fields;
  bigger.push_back(0);
  std::vector<std::uint8_t> nanStructure = fields;
  const double nan = std::nan("");
  std::memcpy(&nanStructure[nanStructure.size() - 8], &nan, 8);
  const std::vector<std::uint8_t> refused[] = {
      deflatedBlob(fields, length - 1), deflatedBlob(fields, length + 1),
      deflatedBlob(fields, 0),          deflatedBlob(fields, 0xFFFFFFFFu),
      deflatedBlob(fields, length, 3),  sealed(trailing),
      deflatedBlob(bigger, length + 1), deflatedBlob(nanStructure, length),
      sealed({'F', 'S', 'G', '3'}),
  };
  for (std::size_t i = 0; i < std::size(refused); ++i) {
    back.dimension = 77;
    EXPECT_FALSE(DecodeSignature(refused[i].data(), refused[i].size(), back)) << i;
    EXPECT_EQ(back.dimension, 77u) << i;
  }
}

// The fields of a blob as EncodeSignature writes it, inflated.
std::vector<std::uint8_t> inflated(const std::vector<std::uint8_t>& blob) {
  std::vector<std::uint8_t> fields(blob[4] | blob[5] << 8 | blob[6] << 16 | blob[7] << 24);
  uLongf size = static_cast<uLongf>(fields.size());
  EXPECT_EQ(uncompress(fields.data(), &size, blob.data() + 8, static_cast<uLong>(blob.size() - 12)),
            Z_OK);
  return fields;
}

// The relative histogram's count and values are checked like the others'.
TEST(Blobs, TheRelativeHistogramIsReadBackAndItsDamageRefused) {
  const Signature s = sampleSignature();
  ASSERT_EQ(s.relativeHistogram.count(), kRelativeBins);
  const std::vector<std::uint8_t> fields = inflated(EncodeSignature(s));
  const auto length = static_cast<std::uint32_t>(fields.size());
  Signature back;
  const std::vector<std::uint8_t> good = deflatedBlob(fields, length, 0, '4');
  ASSERT_TRUE(DecodeSignature(good.data(), good.size(), back));
  expectEqual(s, back);
  // The count sits after the structure's, at byte 40 of the fields.
  std::vector<std::uint8_t> wrongCount = fields, noRelative = fields, nanRelative = fields;
  putU32(wrongCount, 40, kRelativeBins - 1);
  putU32(noRelative, 40, 0);
  const double nan = std::nan("");
  std::memcpy(&nanRelative[nanRelative.size() - 8], &nan, 8);
  for (const auto& bad : {wrongCount, noRelative, nanRelative}) {
    const std::vector<std::uint8_t> blob = deflatedBlob(bad, length, 0, '4');
    EXPECT_FALSE(DecodeSignature(blob.data(), blob.size(), back));
  }
  // Read as version 3, the same fields are four bytes too many.
  const std::vector<std::uint8_t> asThird = deflatedBlob(fields, length);
  EXPECT_FALSE(DecodeSignature(asThird.data(), asThird.size(), back));
}

// A descriptor keeps its relative histogram, and one without (made from a
// signature stored before it) is written and read as version 2.
TEST(CompactBlob, KeepsTheRelativeHistogramOrItsAbsence) {
  const CompactSignature with = MakeCompact(sampleSignature());
  ASSERT_TRUE(with.hasRelative);
  CompactSignature without = with;
  without.hasRelative = false;
  for (const CompactSignature& c : {with, without}) {
    const std::vector<std::uint8_t> blob = EncodeCompact(c);
    EXPECT_EQ(blob[3], c.hasRelative ? '3' : '2');
    CompactSignature back;
    ASSERT_TRUE(DecodeCompact(blob.data(), blob.size(), back));
    EXPECT_EQ(back.hasRelative, c.hasRelative);
    EXPECT_EQ(back.relative, c.hasRelative ? with.relative : CompactSignature{}.relative);
    EXPECT_EQ(back.structure, c.structure);
  }
}

TEST(CompactSignature, EstimatesOneForItselfAndLessForAnother) {
  TempDir dir;
  const RIMHeader h = synthetic::header(160, 160, 8, 24, 0);
  ASSERT_EQ(synthetic::write(dir.file("a.rim"), synthetic::randomRim(h, 1)), 0);
  ASSERT_EQ(synthetic::write(dir.file("b.rim"), synthetic::randomRim(h, 2)), 0);
  Signature a, b;
  ASSERT_EQ(ReadRimSignature(dir.file("a.rim"), a), status::Success);
  ASSERT_EQ(ReadRimSignature(dir.file("b.rim"), b), status::Success);
  const CompactSignature ca = MakeCompact(a), cb = MakeCompact(b);
  EXPECT_NEAR(CompactEdgeSimilarity(ca, ca), 1.0, 1e-5);
  EXPECT_LT(CompactEdgeSimilarity(ca, cb), 1.0 - 1e-4);
  for (std::int32_t mode : {0, 1, 2, kRobustColorMode}) {
    // The float features estimate the exact measure closely.
    EXPECT_NEAR(CompactColorSimilarity(ca, cb, mode), SignatureColorSimilarity(a, b, mode), 1e-5)
        << mode;
    EXPECT_NEAR(CompactColorSimilarity(ca, ca, mode), 1.0, 1e-5) << mode;
  }
}

}  // namespace
