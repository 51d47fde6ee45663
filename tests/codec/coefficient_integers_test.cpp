// The decoder holds coefficients as the integers they are coded as: the
// same values, statuses and stream positions as the decoding into doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "codec/components.h"
#include "codec/huffman.h"

namespace {

RIMHeader coefficientHeader() {
  RIMHeader h;
  h.imageWidth = 41;
  h.imageHeight = 23;
  h.patchWidth = h.patchHeight = 4;  // N = 11 x 6 = 66 patches
  h.dimension = 20;
  return h;
}

// Writes the section of an encoded component and reads it back into to.
Status throughSection(const CRIMComponent& from, CRIMComponent& to) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return status::CannotOpenFile;
  Status s = from.writeSection(file);
  if (s == status::Success) {
    std::rewind(file);
    s = to.readSection(file);
  }
  std::fclose(file);
  return s;
}

// Values of both signs up to the precision's limit, and runs of zeros of
// every length, whole zero rows included.
void fillCoefficients(KPX::Matrix<double>& m, std::uint32_t precision) {
  const double limit = std::pow(2.0, static_cast<double>(precision)) - 1.0;
  std::mt19937 rng(precision);
  for (std::uint32_t k = 0; k < m.count(); ++k) {
    const std::uint32_t row = k / m.cols();
    double v = 0;
    if (row % 7 != 3 && rng() % 3 == 0) {
      switch (rng() % 4) {
        case 0:
          v = limit;
          break;
        case 1:
          v = -limit;
          break;
        default:
          v = std::floor(limit * ((rng() % 2001) / 1000.0 - 1.0));
          break;
      }
    }
    m.data()[k] = v;
  }
}

// Shapes from the test header, fills with values for the precision and
// encodes with the given zero run and mode.
void encodeFilled(CCoeff& from, std::uint32_t precision, std::uint32_t zeroRun,
                  std::uint32_t mode) {
  CompressionParameters parameters;
  parameters.PrecisionBit = precision;
  parameters.MaxZeroRun = zeroRun;
  ASSERT_EQ(from.setShapeFromHeader(coefficientHeader()), 0);
  ASSERT_EQ(from.setCompressionParameters(parameters), 0);
  fillCoefficients(from, precision);
  from.mode = mode;
  ASSERT_EQ(from.encode(), 0);
}

struct Coding {
  std::uint32_t precision;
  std::uint32_t zeroRun;
};

const Coding kCodings[] = {{1, 1}, {2, 4}, {8, 16}, {16, 3}, {24, 16}, {31, 2}, {31, 16}};

TEST(CoefficientIntegers, DecodeToTheValuesOfTheDoubleDecoding) {
  const RIMHeader h = coefficientHeader();
  for (const Coding& c : kCodings) {
    SCOPED_TRACE(testing::Message() << "p " << c.precision << " z " << c.zeroRun);
    CCoeff from;
    ASSERT_NO_FATAL_FAILURE(encodeFilled(from, c.precision, c.zeroRun, 0));

    CCoeff asDoubles;
    ASSERT_EQ(asDoubles.setShapeFromHeader(h), 0);
    ASSERT_EQ(throughSection(from, asDoubles), 0);
    ASSERT_EQ(asDoubles.decode(true), 0);

    CCoeff asIntegers;
    ASSERT_EQ(asIntegers.setShapeFromHeader(h, false), 0);
    EXPECT_EQ(asIntegers.rows(), asDoubles.rows());
    EXPECT_EQ(asIntegers.count(), 0u);  // no doubles held
    ASSERT_EQ(throughSection(from, asIntegers), 0);
    ASSERT_TRUE(asIntegers.integersAvailable());
    KPX::Matrix<std::int32_t> values;
    ASSERT_EQ(asIntegers.decodeIntegers(values), 0);
    ASSERT_EQ(values.rows(), asDoubles.rows());
    ASSERT_EQ(values.cols(), asDoubles.cols());
    int nonZero = 0;
    for (std::uint32_t k = 0; k < values.count(); ++k) {
      ASSERT_EQ(static_cast<double>(values.data()[k]), asDoubles.data()[k]) << k;
      nonZero += values.data()[k] != 0;
    }
    EXPECT_GT(nonZero, 50);
    EXPECT_EQ(asIntegers.stream.bitPosition(), asDoubles.stream.bitPosition());
  }
}

// The bytes of a component's section as the file would hold them.
std::vector<std::uint8_t> sectionBytes(const CRIMComponent& c) {
  std::vector<std::uint8_t> bytes;
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return bytes;
  if (c.writeSection(file) == status::Success) {
    bytes.resize(static_cast<std::size_t>(std::ftell(file)));
    std::rewind(file);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  }
  std::fclose(file);
  return bytes;
}

// The encoder's form: doubles with fractions, and past the precision's
// limit both ways, given a few rows at a time (pieces across the lister's
// own blocks) code the section the matrix of doubles codes.
TEST(CoefficientIntegers, RowsGivenInPiecesCodeTheSectionOfTheDoubles) {
  const RIMHeader h = coefficientHeader();
  for (const Coding& c : kCodings) {
    SCOPED_TRACE(testing::Message() << "p " << c.precision << " z " << c.zeroRun);
    CompressionParameters parameters;
    parameters.PrecisionBit = c.precision;
    parameters.MaxZeroRun = c.zeroRun;
    CCoeff doubles;
    ASSERT_EQ(doubles.setShapeFromHeader(h), 0);
    ASSERT_EQ(doubles.setCompressionParameters(parameters), 0);
    fillCoefficients(doubles, c.precision);
    for (std::uint32_t k = 0; k < doubles.count(); k += 3)
      doubles.data()[k] = doubles.data()[k] * (k % 2 == 0 ? 1.75 : -1.5) + 0.625;
    const KPX::Matrix<double> values = doubles;

    CCoeff integers;
    ASSERT_EQ(integers.setShapeFromHeader(h, false), 0);
    ASSERT_EQ(integers.setCompressionParameters(parameters), 0);
    ASSERT_EQ(integers.prepareIntegers(values.rows(), values.cols()), 0);
    for (std::uint32_t first = 0, piece = 65; first < values.rows(); first += piece, piece = 1)
      integers.quantizeRows(values[first], first, std::min(piece, values.rows() - first));
    ASSERT_EQ(doubles.encode(), 0);
    ASSERT_EQ(integers.encodeIntegers(), 0);
    EXPECT_EQ(sectionBytes(integers), sectionBytes(doubles));
    EXPECT_GT(sectionBytes(doubles).size(), 100u);

    // Rows that never came are not coded as if they had.
    CCoeff missing;
    ASSERT_EQ(missing.setShapeFromHeader(h, false), 0);
    ASSERT_EQ(missing.setCompressionParameters(parameters), 0);
    ASSERT_EQ(missing.prepareIntegers(values.rows(), values.cols()), 0);
    missing.quantizeRows(values[0], 0, values.rows() - 1);
    EXPECT_EQ(missing.encodeIntegers(), status::InvalidValues);
  }
}

TEST(CoefficientIntegers, DeflatedAnd32BitSectionsStayDoubles) {
  const RIMHeader h = coefficientHeader();
  struct Case {
    std::uint32_t mode;
    std::uint32_t precision;
    bool integers;
  };
  for (const Case& c : {Case{0, 31, true}, Case{0, 32, false}, Case{1, 16, false}}) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " p " << c.precision);
    CCoeff from;
    ASSERT_NO_FATAL_FAILURE(encodeFilled(from, c.precision, 16, c.mode));
    CCoeff to;
    ASSERT_EQ(to.setShapeFromHeader(h, false), 0);
    ASSERT_EQ(throughSection(from, to), 0);
    EXPECT_EQ(to.integersAvailable(), c.integers);
    KPX::Matrix<std::int32_t> values;
    EXPECT_EQ(to.decodeIntegers(values), c.integers ? status::Success : status::InvalidValues);
  }
}

// A complete code over the alphabet of precision p and zero run z: symbol
// k gets a code of length about log2(alphabet).
HuffmanDecoderTable garbageTable(std::uint32_t p, std::uint32_t z, int round) {
  const std::uint32_t alphabet = z * p + 3;
  std::vector<std::uint32_t> huffval(alphabet);
  for (std::uint32_t k = 0; k < alphabet; ++k) huffval[k] = (k * 7 + round) % alphabet;
  std::vector<std::uint32_t> bits(17, 0);
  std::uint32_t length = 1;
  while ((1u << length) < alphabet) ++length;
  bits[length] = alphabet;
  HuffmanDecoderTable table;
  EXPECT_EQ(buildDecoderTable(bits, huffval, table), 0);
  return table;
}

// One round of random input: an alphabet, a complete table over it and up
// to 64 random bytes, with two streams reading them.
struct GarbageInput {
  std::uint32_t p = 0;
  std::uint32_t z = 0;
  HuffmanDecoderTable table;
  std::vector<std::uint8_t> bytes;
  BitStream a;
  BitStream b;
};

void drawGarbage(std::mt19937& rng, int round, GarbageInput& in) {
  in.p = 1 + rng() % 5;
  in.z = 1 + rng() % 4;
  in.table = garbageTable(in.p, in.z, round);
  in.bytes.resize(1 + rng() % 64);
  for (auto& b : in.bytes) b = static_cast<std::uint8_t>(rng());
  const auto length = static_cast<std::uint32_t>(in.bytes.size());
  ASSERT_EQ(in.a.loadFromMemory(in.bytes.data(), length), 0);
  ASSERT_EQ(in.b.loadFromMemory(in.bytes.data(), length), 0);
}

// Random tables over random bytes: both decoders agree on every outcome.
TEST(CoefficientIntegers, HuffmanIntegersEqualDoublesOnGarbage) {
  std::mt19937 rng(99);
  int succeeded = 0;
  for (int round = 0; round < 1500; ++round) {
    GarbageInput in;
    ASSERT_NO_FATAL_FAILURE(drawGarbage(rng, round, in));
    const std::uint32_t rows = 1 + rng() % 6, cols = 1 + rng() % 9;
    KPX::Matrix<double> doubles(rows, cols);
    KPX::Matrix<std::int32_t> integers(rows, cols);
    KPX::fill(doubles, -7.0);
    KPX::fill(integers, std::int32_t{0});
    const Status sa = decodeMatrix(in.a, doubles, in.table, in.p, in.z);
    const Status sb = decodeZeroedIntegers(in.b, integers, in.table, in.p, in.z);
    ASSERT_EQ(sa, sb) << "round " << round;
    if (sa != 0) continue;
    ++succeeded;
    ASSERT_EQ(in.a.bitPosition(), in.b.bitPosition());
    for (std::uint32_t k = 0; k < rows * cols; ++k)
      ASSERT_EQ(static_cast<double>(integers.data()[k]), doubles.data()[k]) << k;
  }
  EXPECT_GT(succeeded, 100);
}

// The rows read a few at a time are the non-zero entries of the matrix,
// with the same status and the same final position.
TEST(CoefficientIntegers, RowReaderEqualsTheWholeMatrixOnGarbage) {
  std::mt19937 rng(7);
  int succeeded = 0;
  for (int round = 0; round < 1500; ++round) {
    GarbageInput in;
    ASSERT_NO_FATAL_FAILURE(drawGarbage(rng, round, in));
    const std::uint32_t rows = 1 + rng() % 12, cols = 1 + rng() % 9;
    KPX::Matrix<std::int32_t> integers(rows, cols);
    KPX::fill(integers, std::int32_t{0});
    const Status whole = decodeZeroedIntegers(in.a, integers, in.table, in.p, in.z);
    KPX::Matrix<std::int32_t> rebuilt(rows, cols);
    KPX::fill(rebuilt, std::int32_t{0});
    Status streamed = status::Success;
    {
      HuffmanRowReader reader;
      ASSERT_EQ(reader.start(in.b, in.table, in.p, in.z, cols), 0);
      KPX::SparseRows sparse;
      for (std::uint32_t row = 0; row < rows && streamed == status::Success;) {
        const std::uint32_t chunk = std::min<std::uint32_t>(rows - row, 1 + rng() % 4);
        streamed = reader.read(chunk, sparse);
        if (streamed != status::Success) break;
        ASSERT_EQ(sparse.end.size(), chunk);
        std::uint32_t from = 0;
        for (std::uint32_t r = 0; r < chunk; ++r, ++row) {
          for (std::uint32_t t = from; t < sparse.end[r]; ++t) {
            ASSERT_LT(sparse.index[t], cols);
            ASSERT_NE(sparse.value[t], 0.0);
            if (t > from) {
              ASSERT_GT(sparse.index[t], sparse.index[t - 1]);
            }
            rebuilt[row][sparse.index[t]] = static_cast<std::int32_t>(sparse.value[t]);
          }
          from = sparse.end[r];
        }
      }
    }
    ASSERT_EQ(streamed, whole) << "round " << round;
    if (whole != 0) continue;
    ++succeeded;
    ASSERT_EQ(in.a.bitPosition(), in.b.bitPosition());
    for (std::uint32_t k = 0; k < rows * cols; ++k)
      ASSERT_EQ(rebuilt.data()[k], integers.data()[k]) << k;
  }
  EXPECT_GT(succeeded, 100);
}

// The reader refuses what decodeZeroedIntegers refuses before any row.
TEST(CoefficientIntegers, RowReaderRefusesWideValuesAndReadsOnlyAfterStart) {
  const HuffmanDecoderTable table = garbageTable(3, 2, 0);
  std::vector<std::uint8_t> bytes(8, 0x55);
  BitStream stream;
  ASSERT_EQ(stream.loadFromMemory(bytes.data(), 8), 0);
  HuffmanRowReader reader;
  KPX::SparseRows sparse;
  EXPECT_EQ(reader.read(1, sparse), status::InconsistentParameters);
  EXPECT_EQ(reader.start(stream, table, 32, 2, 4), status::InvalidValues);
  EXPECT_EQ(reader.read(1, sparse), status::InconsistentParameters);
  EXPECT_EQ(reader.start(stream, table, 2, 2, 4), status::OutOfRange);  // symbols above 2 x 2 + 2
}

}  // namespace
