#include "codec/components.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "codec/limits.h"
#include "support/matrices.h"

using testing_support::rowOf;

namespace {

RIMHeader shapeHeader(std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                      std::uint32_t patchHeight, std::uint32_t dimension) {
  RIMHeader h;
  h.imageWidth = width;
  h.imageHeight = height;
  h.patchWidth = patchWidth;
  h.patchHeight = patchHeight;
  h.dimension = dimension;
  return h;
}

CompressionParameters compression(std::uint32_t averageStep = 1, std::uint32_t precision = 16,
                                  std::uint32_t basePrecision = 7, std::uint32_t zeroRun = 16) {
  CompressionParameters c;
  c.AverageQuantizeStep = averageStep;
  c.CoeffQuantizeStep = 1;
  c.PrecisionBit = precision;
  c.BasePrecisionBit = basePrecision;
  c.MaxZeroRun = zeroRun;
  return c;
}

void setRow(KPX::Matrix<double>& m, std::uint32_t row, const std::vector<double>& values) {
  ASSERT_EQ(values.size(), m.cols());
  for (std::uint32_t j = 0; j < m.cols(); ++j) m[row][j] = values[j];
}

struct TempFile {
  TempFile() : file(std::tmpfile()) {}
  ~TempFile() {
    if (file != nullptr) std::fclose(file);
  }
  std::FILE* file;
};

// Writes the section of an encoded component and reads it back into to.
Status throughSection(const CRIMComponent& from, CRIMComponent& to) {
  TempFile tmp;
  if (tmp.file == nullptr) return status::CannotOpenFile;
  FOLIM_RETURN_IF_ERROR(from.writeSection(tmp.file));
  EXPECT_EQ(std::ftell(tmp.file), static_cast<long>(from.sectionSize()));
  std::rewind(tmp.file);
  return to.readSection(tmp.file);
}

// A matrix of integers of both signs with short and long runs of zeros and
// some rows entirely zero.
void fillPattern(KPX::Matrix<double>& m, int modulus) {
  for (std::uint32_t k = 0; k < m.count(); ++k) {
    const int v =
        static_cast<int>((k * 37 + k / 5) % static_cast<std::uint32_t>(modulus)) - modulus / 2;
    const bool zero = k % 23 < 9 || k % 7 == 3 || (k / m.cols()) % 5 == 4;
    m.data()[k] = zero ? 0.0 : v;
  }
}

}  // namespace

TEST(AverageComponent, QuantisesPredictsAndRestoresTheWorkedRow) {
  CAverage a;
  ASSERT_EQ(a.setShapeFromHeader(shapeHeader(4, 1, 1, 1, 1)), 0);
  ASSERT_EQ(a.rows(), 3u);
  ASSERT_EQ(a.cols(), 4u);
  ASSERT_EQ(a.setCompressionParameters(compression(3)), 0);
  ASSERT_EQ(a.steps.count(), 3u);
  for (std::uint32_t c = 0; c < 3; ++c) setRow(a, c, {10, 11, 12, 20});
  a[2][0] = -7;

  ASSERT_EQ(a.quantize(), 0);
  EXPECT_EQ(rowOf(a, 0), (std::vector<double>{3, 3, 4, 6}));
  EXPECT_EQ(a[2][0], -2.0);  // toward zero, not -3
  ASSERT_EQ(a.predict(), 0);
  EXPECT_EQ(rowOf(a, 0), (std::vector<double>{3, 0, 1, 2}));

  CAverage fresh;
  CAverage b;
  ASSERT_EQ(b.setShapeFromHeader(shapeHeader(4, 1, 1, 1, 1)), 0);
  ASSERT_EQ(b.setCompressionParameters(compression(3)), 0);
  for (std::uint32_t c = 0; c < 3; ++c) setRow(b, c, {10, 11, 12, 20});
  ASSERT_EQ(b.encode(), 0);
  EXPECT_EQ(b.parameters.stepCount, 3u);
  EXPECT_EQ(b.parameters.stepBits, 2u);
  ASSERT_EQ(fresh.setShapeFromHeader(shapeHeader(4, 1, 1, 1, 1)), 0);
  ASSERT_EQ(throughSection(b, fresh), 0);
  ASSERT_EQ(fresh.decode(true), 0);
  for (std::uint32_t c = 0; c < 3; ++c)
    EXPECT_EQ(rowOf(fresh, c), (std::vector<double>{9, 9, 12, 18}));
}

TEST(AverageComponent, SinglePatchHasNoPrediction) {
  CAverage a;
  ASSERT_EQ(a.setShapeFromHeader(shapeHeader(8, 8, 8, 8, 1)), 0);
  ASSERT_EQ(a.cols(), 1u);
  a[0][0] = 5;
  a[1][0] = -9;
  a[2][0] = 0;
  ASSERT_EQ(a.predict(), 0);
  ASSERT_EQ(a.restorePrediction(), 0);
  EXPECT_EQ(a[0][0], 5.0);
  EXPECT_EQ(a[1][0], -9.0);
}

TEST(AverageComponent, ZeroStepDividesByZeroOnlyWhenDequantised) {
  CAverage a;
  ASSERT_EQ(a.setShapeFromHeader(shapeHeader(3, 1, 1, 1, 1)), 0);
  ASSERT_EQ(a.setCompressionParameters(compression(2)), 0);
  a.steps[1] = 0;
  for (std::uint32_t c = 0; c < 3; ++c) setRow(a, c, {8, 9, 10});
  ASSERT_EQ(a.quantize(), 0);
  EXPECT_EQ(rowOf(a, 0), (std::vector<double>{4, 4, 5}));
  EXPECT_EQ(rowOf(a, 1), (std::vector<double>{8, 9, 10}));  // step 0 leaves the row
  EXPECT_EQ(a.dequantize(), status::DividedByZero);
  EXPECT_EQ(rowOf(a, 0), (std::vector<double>{8, 8, 10}));  // earlier rows already changed
}

TEST(BaseComponent, PredictsTheSecondAndThirdPlanesFromTheFirst) {
  CBase b;
  ASSERT_EQ(b.setShapeFromHeader(shapeHeader(2, 2, 2, 2, 1)), 0);
  ASSERT_EQ(b.cols(), 12u);
  setRow(b, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  ASSERT_EQ(b.predict(), 0);
  EXPECT_EQ(rowOf(b, 0), (std::vector<double>{1, 2, 3, 4, 4, 4, 4, 4, 8, 8, 8, 8}));
  ASSERT_EQ(b.restorePrediction(), 0);
  EXPECT_EQ(rowOf(b, 0), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(BaseComponent, PrecisionFallsBackToPrecisionBit) {
  CBase b;
  ASSERT_EQ(b.setCompressionParameters(compression(1, 16, 7)), 0);
  EXPECT_EQ(b.parameters.precisionBits, 7u);
  ASSERT_EQ(b.setCompressionParameters(compression(1, 12, 0)), 0);
  EXPECT_EQ(b.parameters.precisionBits, 12u);
  EXPECT_EQ(b.parameters.maxZeroRun, 16u);
}

TEST(CoefficientComponent, ClampsToThePrecisionWithoutRounding) {
  CCoeff c;
  ASSERT_EQ(c.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 3)), 0);
  ASSERT_EQ(c.setCompressionParameters(compression(1, 4)), 0);
  setRow(c, 0, {20.7, -16, 3.9});
  ASSERT_EQ(c.quantize(), 0);
  EXPECT_EQ(rowOf(c, 0), (std::vector<double>{15, -15, 3.9}));

  ASSERT_EQ(c.encode(), 0);
  CCoeff d;
  ASSERT_EQ(d.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 3)), 0);
  ASSERT_EQ(throughSection(c, d), 0);
  ASSERT_EQ(d.decode(true), 0);
  EXPECT_EQ(rowOf(d, 0), (std::vector<double>{15, -15, 3}));  // coded by truncation
}

TEST(PrepareBases, QuantisesEachBaseToItsPrecision) {
  CBase b;
  ASSERT_EQ(b.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 1)), 0);
  ASSERT_EQ(b.setCompressionParameters(compression(1, 16, 7)), 0);
  setRow(b, 0, {0.5, -0.2, 0.1});
  KPX::Matrix<double> w;
  ASSERT_EQ(b.prepareBases(w), 0);
  // scale trunc(63 / 0.5) = 126
  EXPECT_EQ(rowOf(b, 0), (std::vector<double>{63, -25, 12}));
  // stored step trunc(|(63, -25, 12)| / 1) = trunc(68.83) = 68
  ASSERT_EQ(b.steps.count(), 1u);
  EXPECT_EQ(b.steps[0], 68u);
  // pseudo-inverse of a row is its transpose over its squared norm, scaled by the step
  ASSERT_EQ(w.rows(), 3u);
  ASSERT_EQ(w.cols(), 1u);
  EXPECT_NEAR(w[0][0], 63.0 * 68 / 4738, 1e-9);
  EXPECT_NEAR(w[1][0], -25.0 * 68 / 4738, 1e-9);
  EXPECT_NEAR(w[2][0], 12.0 * 68 / 4738, 1e-9);
}

TEST(PrepareBases, SortsByNormAndGradesStepsByNorm) {
  CBase b;
  ASSERT_EQ(b.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 3)), 0);
  CompressionParameters c = compression(1, 16, 7);
  c.CoeffQuantizeStep = 8;
  c.DoChangeStep = 1;
  ASSERT_EQ(b.setCompressionParameters(c), 0);
  setRow(b, 0, {1, 0, 0});  // norm 1
  setRow(b, 1, {0, 4, 0});  // norm 4
  setRow(b, 2, {0, 0, 2});  // norm 2
  KPX::Matrix<double> w;
  ASSERT_EQ(b.prepareBases(w), 0);
  // sorted 4, 2, 1; scales 15, 31, 63
  EXPECT_EQ(rowOf(b, 0), (std::vector<double>{0, 60, 0}));
  EXPECT_EQ(rowOf(b, 1), (std::vector<double>{0, 0, 62}));
  EXPECT_EQ(rowOf(b, 2), (std::vector<double>{63, 0, 0}));
  // q(i) = 8 * 1 / (4, 2, 1) = 2, 4, 8; stored trunc(60/2), trunc(62/4), trunc(63/8)
  ASSERT_EQ(b.steps.count(), 3u);
  EXPECT_EQ(b.steps[0], 30u);
  EXPECT_EQ(b.steps[1], 15u);
  EXPECT_EQ(b.steps[2], 7u);
  // D = P: the exact inverse, columns scaled by the steps
  ASSERT_EQ(w.rows(), 3u);
  ASSERT_EQ(w.cols(), 3u);
  EXPECT_NEAR(w[1][0], 30.0 / 60, 1e-9);
  EXPECT_NEAR(w[2][1], 15.0 / 62, 1e-9);
  EXPECT_NEAR(w[0][2], 7.0 / 63, 1e-9);
  EXPECT_NEAR(w[0][0], 0.0, 1e-9);

  // without graded steps every base uses q = 8
  CBase flat;
  ASSERT_EQ(flat.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 3)), 0);
  c.DoChangeStep = 0;
  ASSERT_EQ(flat.setCompressionParameters(c), 0);
  setRow(flat, 0, {1, 0, 0});
  setRow(flat, 1, {0, 4, 0});
  setRow(flat, 2, {0, 0, 2});
  ASSERT_EQ(flat.prepareBases(w), 0);
  EXPECT_EQ(flat.steps[0], 7u);
  EXPECT_EQ(flat.steps[1], 7u);
  EXPECT_EQ(flat.steps[2], 7u);
}

TEST(PrepareBases, EqualNormsKeepTheirOrderAndZeroBasesKeepTheirStep) {
  CBase b;
  ASSERT_EQ(b.setShapeFromHeader(shapeHeader(1, 1, 2, 1, 3)), 0);  // P = 6
  CompressionParameters c = compression(1, 16, 7);
  c.CoeffQuantizeStep = 5;
  ASSERT_EQ(b.setCompressionParameters(c), 0);
  setRow(b, 0, {0, 0, 0, 0, 0, 0});
  setRow(b, 1, {0, 2, 0, 0, 0, 0});
  setRow(b, 2, {0, 0, -2, 0, 0, 0});
  KPX::Matrix<double> w;
  ASSERT_EQ(b.prepareBases(w), 0);
  EXPECT_EQ(rowOf(b, 0), (std::vector<double>{0, 62, 0, 0, 0, 0}));  // scale 31
  EXPECT_EQ(rowOf(b, 1), (std::vector<double>{0, 0, -62, 0, 0, 0}));
  EXPECT_EQ(rowOf(b, 2), (std::vector<double>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(b.steps[0], 12u);  // trunc(62 / 5)
  EXPECT_EQ(b.steps[2], 5u);   // zero base: the step stays q
  EXPECT_EQ(w.rows(), 6u);
  EXPECT_EQ(w.cols(), 3u);
}

TEST(PrepareBases, ZeroCoefficientStepIsADivisionByZero) {
  CBase b;
  ASSERT_EQ(b.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 1)), 0);
  CompressionParameters c = compression(1, 16, 7);
  c.CoeffQuantizeStep = 0;
  ASSERT_EQ(b.setCompressionParameters(c), 0);
  setRow(b, 0, {1, 2, 3});
  KPX::Matrix<double> w;
  EXPECT_EQ(b.prepareBases(w), status::DividedByZero);
}

namespace {

// Encodes a component in a mode, reads its section into a fresh twin and
// decodes it without dequantisation: the integers must come back.
template <class Component>
void expectRoundTrip(std::uint32_t mode, const RIMHeader& h, int modulus) {
  SCOPED_TRACE(mode);
  Component from;
  ASSERT_EQ(from.setShapeFromHeader(h), 0);
  ASSERT_EQ(from.setCompressionParameters(compression(1, 16, 16, 4)), 0);
  fillPattern(from, modulus);
  if constexpr (std::is_same_v<Component, CBase>) {
    from.steps.resize(from.rows());
    KPX::fill(from.steps, 3u);
  }
  const KPX::Matrix<double> original = from;
  from.mode = mode;
  ASSERT_EQ(from.encode(), 0);

  Component to;
  ASSERT_EQ(to.setShapeFromHeader(h), 0);
  ASSERT_EQ(throughSection(from, to), 0);
  EXPECT_EQ(to.mode, mode);
  EXPECT_EQ(std::memcmp(&to.parameters, &from.parameters, sizeof(SectionParameters)), 0);
  ASSERT_EQ(to.decode(false), 0);
  ASSERT_EQ(to.count(), original.count());
  for (std::uint32_t k = 0; k < original.count(); ++k)
    ASSERT_EQ(to.data()[k], original.data()[k]) << k;
}

}  // namespace

TEST(ComponentCoding, EveryComponentRoundTripsInBothModes) {
  const RIMHeader h = shapeHeader(37, 21, 4, 4, 20);  // N = 60, P = 48
  for (std::uint32_t mode : {0u, 1u}) {
    expectRoundTrip<CAverage>(mode, h, 255);
    expectRoundTrip<CBase>(mode, h, 127);
    expectRoundTrip<CCoeff>(mode, h, 4001);
  }
}

TEST(ComponentCoding, ZlibPayloadIsTheDeflatedIntegersAfterTheSteps) {
  CAverage a;
  ASSERT_EQ(a.setShapeFromHeader(shapeHeader(3, 1, 1, 1, 1)), 0);
  ASSERT_EQ(a.setCompressionParameters(compression(2)), 0);
  for (std::uint32_t c = 0; c < 3; ++c) setRow(a, c, {10, -7, 30});
  a.mode = 1;
  ASSERT_EQ(a.encode(), 0);
  // after quantisation (5, -3, 15) and prediction (5, -8, 18), each channel
  std::vector<std::uint8_t> ints;
  for (int c = 0; c < 3; ++c) {
    for (std::int32_t v : {5, -8, 18}) {
      const auto u = static_cast<std::uint32_t>(v);
      for (int i = 0; i < 4; ++i) ints.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
  }
  uLongf length = compressBound(ints.size());
  std::vector<std::uint8_t> expected(length);
  ASSERT_EQ(compress2(expected.data(), &length, ints.data(), ints.size(), Z_DEFAULT_COMPRESSION),
            Z_OK);
  expected.resize(length);
  EXPECT_EQ(a.zlibData, expected);
  EXPECT_EQ(a.stream.byteCount(), 1u);  // three 2-bit steps
  EXPECT_EQ(a.payloadLength(), 1u + expected.size());
  EXPECT_EQ(a.sectionSize(), 41u + expected.size());
}

TEST(ComponentCoding, ZlibCodesASingleValueWhoseHistoricalBufferIsTooSmall) {
  CCoeff c;
  ASSERT_EQ(c.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 1)), 0);
  ASSERT_EQ(c.setCompressionParameters(compression()), 0);
  c[0][0] = -12345;
  c.mode = 1;
  ASSERT_EQ(c.encode(), 0);  // trunc(1 * 1.2 * 4) = 4 bytes cannot hold a zlib stream
  CCoeff d;
  ASSERT_EQ(d.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 1)), 0);
  ASSERT_EQ(throughSection(c, d), 0);
  ASSERT_EQ(d.decode(true), 0);
  EXPECT_EQ(d[0][0], -12345.0);
}

TEST(ComponentCoding, UnknownModesAreNotSupported) {
  CCoeff c;
  ASSERT_EQ(c.setShapeFromHeader(shapeHeader(2, 2, 1, 1, 1)), 0);
  ASSERT_EQ(c.setCompressionParameters(compression()), 0);
  c.mode = 2;
  EXPECT_EQ(c.encode(), status::UnsupportedVersion);
  EXPECT_EQ(c.decode(true), status::UnsupportedVersion);
  TempFile tmp;
  ASSERT_NE(tmp.file, nullptr);
  EXPECT_EQ(c.writeSection(tmp.file), status::UnsupportedVersion);
  EXPECT_EQ(std::ftell(tmp.file), 0L);
}

TEST(ComponentCoding, EncodingWithoutStepsIsNotReady) {
  CBase b;
  ASSERT_EQ(b.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 2)), 0);
  ASSERT_EQ(b.setCompressionParameters(compression()), 0);
  EXPECT_EQ(b.encode(), status::NotReady);
  CAverage a;
  ASSERT_EQ(a.setShapeFromHeader(shapeHeader(1, 1, 1, 1, 2)), 0);
  EXPECT_EQ(a.encode(), status::NotReady);  // no compression parameters given
}

TEST(ComponentCoding, ZeroBaseStepFailsOnlyWhenDequantised) {
  const RIMHeader h = shapeHeader(2, 2, 2, 2, 2);
  CBase b;
  ASSERT_EQ(b.setShapeFromHeader(h), 0);
  ASSERT_EQ(b.setCompressionParameters(compression()), 0);
  fillPattern(b, 21);
  b.steps.resize(2);
  b.steps[0] = 4;
  b.steps[1] = 0;
  ASSERT_EQ(b.encode(), 0);
  for (bool dequantise : {true, false}) {
    CBase c;
    ASSERT_EQ(c.setShapeFromHeader(h), 0);
    ASSERT_EQ(throughSection(b, c), 0);
    EXPECT_EQ(c.decode(dequantise), dequantise ? status::DividedByZero : status::Success);
  }
}

TEST(ComponentShapes, ComeFromTheHeader) {
  const RIMHeader h = shapeHeader(100, 60, 8, 8, 96);
  CAverage a;
  CBase b;
  CCoeff c;
  ASSERT_EQ(a.setShapeFromHeader(h), 0);
  ASSERT_EQ(b.setShapeFromHeader(h), 0);
  ASSERT_EQ(c.setShapeFromHeader(h), 0);
  EXPECT_EQ(a.rows(), 3u);
  EXPECT_EQ(a.cols(), 104u);  // 13 x 8 patches
  EXPECT_EQ(b.rows(), 96u);
  EXPECT_EQ(b.cols(), 192u);
  EXPECT_EQ(c.rows(), 104u);
  EXPECT_EQ(c.cols(), 96u);
  EXPECT_EQ(a.header.imageWidth, 100u);
  EXPECT_EQ(a.expectedStepCount(), 3u);
  EXPECT_EQ(b.expectedStepCount(), 96u);
  EXPECT_EQ(c.expectedStepCount(), 0u);
  EXPECT_EQ(a.setShapeFromHeader(shapeHeader(100, 60, 8, 8, 193)), status::InvalidValues);
}
