// The encoder holds coefficients as the integers they are coded as: the same
// section, bit for bit, as coding the doubles they come from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "codec/components.h"

namespace {

RIMHeader coefficientHeader() {
  RIMHeader h;
  h.imageWidth = 53;
  h.imageHeight = 30;
  h.patchWidth = h.patchHeight = 4;  // N = 14 x 8 = 112 patches
  h.dimension = 24;
  return h;
}

// The bytes writeSection gives.
std::vector<unsigned char> sectionBytes(const CRIMComponent& c) {
  std::vector<unsigned char> bytes;
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return bytes;
  if (c.writeSection(file) == status::Success) {
    std::rewind(file);
    int ch = 0;
    while ((ch = std::fgetc(file)) != EOF) bytes.push_back(static_cast<unsigned char>(ch));
  }
  std::fclose(file);
  return bytes;
}

// Coefficients as the product leaves them: fractions on both sides of every
// integer, values past the precision's limit, infinities, NaN, negative
// zero, and zero runs of every length (whole zero rows included).
void fillProducts(KPX::Matrix<double>& m, std::uint32_t precision) {
  const double limit = std::pow(2.0, static_cast<double>(precision)) - 1.0;
  const double specials[] = {limit + 0.5,
                             -limit - 0.5,
                             limit * 4.0,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             -0.0,
                             0.999,
                             -0.999,
                             1.0,
                             -1.5,
                             limit};
  std::mt19937 rng(precision * 31u);
  for (std::uint32_t k = 0; k < m.count(); ++k) {
    const std::uint32_t row = k / m.cols();
    double v = 0.0;
    if (row % 9 != 4 && rng() % 3 == 0) {
      const std::uint32_t pick = rng() % 16;
      v = pick < 12 ? specials[pick] : limit * ((rng() % 20001) / 10000.0 - 1.0);
    }
    m.data()[k] = v;
  }
}

struct Coding {
  std::uint32_t precision;
  std::uint32_t zeroRun;
};

const Coding kCodings[] = {{1, 1}, {3, 2}, {8, 16}, {16, 5}, {24, 16}, {31, 3}, {31, 16}};

class CoefficientEncoding : public ::testing::TestWithParam<Coding> {};

TEST_P(CoefficientEncoding, IntegersGiveTheSectionOfTheDoubles) {
  const Coding c = GetParam();
  const RIMHeader h = coefficientHeader();
  CompressionParameters parameters;
  parameters.PrecisionBit = c.precision;
  parameters.MaxZeroRun = c.zeroRun;

  CCoeff doubles;
  ASSERT_EQ(doubles.setShapeFromHeader(h), status::Success);
  ASSERT_EQ(doubles.setCompressionParameters(parameters), status::Success);
  fillProducts(doubles, c.precision);
  const KPX::Matrix<double> products = doubles;

  CCoeff integers;
  integers.header = h;
  ASSERT_EQ(integers.setCompressionParameters(parameters), status::Success);
  ASSERT_TRUE(integers.integersAvailable());
  ASSERT_EQ(integers.prepareIntegers(products.rows(), products.cols()), status::Success);
  // In uneven blocks, as the strips of the encoder hand them over.
  const std::uint32_t cut = products.rows() / 3;
  integers.quantizeRows(products[0], 0, cut);
  integers.quantizeRows(products[cut], cut, products.rows() - cut);

  ASSERT_EQ(doubles.encode(), status::Success);
  ASSERT_EQ(integers.encodeIntegers(), status::Success);
  const std::vector<unsigned char> expected = sectionBytes(doubles);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(sectionBytes(integers), expected);
}

INSTANTIATE_TEST_SUITE_P(Codings, CoefficientEncoding, ::testing::ValuesIn(kCodings));

TEST(CoefficientEncoding, IntegersAreRefusedWhereTheyCannotStandForTheValues) {
  CCoeff zlib;
  CompressionParameters parameters;
  parameters.PrecisionBit = 8;
  parameters.MaxZeroRun = 16;
  ASSERT_EQ(zlib.setCompressionParameters(parameters), status::Success);
  zlib.mode = 1;
  EXPECT_EQ(zlib.prepareIntegers(4, 4), status::InvalidValues);
  EXPECT_EQ(zlib.encodeIntegers(), status::InvalidValues);
  CCoeff wide;
  parameters.PrecisionBit = 32;
  ASSERT_EQ(wide.setCompressionParameters(parameters), status::Success);
  EXPECT_EQ(wide.prepareIntegers(4, 4), status::InvalidValues);
}

}  // namespace
