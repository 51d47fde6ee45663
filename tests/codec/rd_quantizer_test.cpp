#include "codec/rd_quantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "codec/encoder_settings.h"
#include "codec/huffman.h"
#include "codec/rim_codec.h"
#include "support/bmp_file.h"
#include "support/codec_checks.h"
#include "support/matrices.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::dataPath;
using testing_support::fromRows;
using testing_support::photograph;
using testing_support::psnr;
using testing_support::readFileBytes;
using testing_support::rowOf;
using testing_support::TempDir;
using testing_support::TraceCapture;

namespace {

// Flat prices: every symbol 4 bits.
std::vector<double> flatBits(std::uint32_t p, std::uint32_t z) {
  return std::vector<double>(alphabetSize(p, z), 4.0);
}

struct Encoded {
  Status status = status::Success;
  std::uintmax_t bytes = 0;
  double psnr = 0.0;
  std::uint32_t dimension = 0;
};

// Encodes the photograph with the default records and the settings, then
// decodes the file with the ordinary decoder.
Encoded encodeAndMeasure(const EncoderSettings& settings, const std::string& path) {
  TraceCapture capture;
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  Encoded e;
  CRIMCodec codec;
  codec.rd = applyEncoderSettings(settings, common, learning, compression);
  e.status = codec.setParameters(&common, &learning, &compression);
  if (e.status == status::Success) e.status = codec.encodeFile(path, photograph());
  if (e.status != status::Success) return e;
  e.bytes = readFileBytes(path).size();
  CRIMCodec decoder;
  CImage decoded;
  e.status = decoder.decodeFile(decoded, path);
  if (e.status != status::Success) return e;
  e.psnr = psnr(photograph(), decoded);
  e.dimension = decoder.header.dimension;
  return e;
}

}  // namespace

// --- the default encoder does not change ---------------------------------

struct DefaultCase {
  const char* source;
  const char* config;
};

class DefaultEncoderOutput : public testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultEncoderOutput, IsByteIdenticalToTheReferenceFile) {
  const DefaultCase& c = GetParam();
  const std::string dir = dataPath("encoder_default/");
  CImage image;
  std::string error;
  ASSERT_TRUE(testing_support::loadBmp(dir + c.source + ".bmp", image, &error)) << error;
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  loadConversionParameters(dir + c.config + ".ini", common, learning, compression);
  // No settings given: the records stay as config.ini says.
  CRIMCodec codec;
  codec.rd = applyEncoderSettings(EncoderSettings{}, common, learning, compression);
  EXPECT_FALSE(codec.rd.optimise);
  TempDir tmp;
  TraceCapture capture;
  ASSERT_EQ(codec.setParameters(&common, &learning, &compression), status::Success);
  ASSERT_EQ(codec.encodeFile(tmp.file("out.rim"), image), status::Success);
  EXPECT_TRUE(readFileBytes(tmp.file("out.rim")) ==
              readFileBytes(dir + c.source + "_" + c.config + ".rim"))
      << c.source << " with " << c.config;
}

INSTANTIATE_TEST_SUITE_P(Crops, DefaultEncoderOutput,
                         testing::Values(DefaultCase{"aqua48x32", "default"},
                                         DefaultCase{"aqua48x32", "step8_ycc"},
                                         DefaultCase{"wood37x21", "default"},
                                         DefaultCase{"wood37x21", "step8_ycc"}));

// --- whole encodes -----------------------------------------------------------

class OptimisedEncoder : public testing::TestWithParam<std::uint32_t> {};

// The optimised file at a step lies above the plain quantiser's curve: at
// its size, the curve through the plain files at neighbouring steps gives a
// lower PSNR. The unchanged decoder reads every file.
TEST_P(OptimisedEncoder, LiesAboveThePlainQuantisersCurve) {
  TempDir tmp;
  const std::uint32_t step = GetParam();
  EncoderSettings optimised;
  optimised.step = step;
  const Encoded after = encodeAndMeasure(optimised, tmp.file("rdo.rim"));
  ASSERT_EQ(after.status, status::Success);

  std::vector<Encoded> plain;  // largest files first
  for (std::uint32_t s : {step / 4, step / 2, step, step * 2, step * 4}) {
    EncoderSettings settings;
    settings.step = s == 0 ? 1 : s;
    settings.plainQuantiser = true;
    plain.push_back(encodeAndMeasure(settings, tmp.file("plain.rim")));
    ASSERT_EQ(plain.back().status, status::Success);
  }
  bool bracketed = false;
  for (std::size_t i = 0; i + 1 < plain.size(); ++i) {
    const Encoded& big = plain[i];
    const Encoded& small = plain[i + 1];
    if (after.bytes > big.bytes || after.bytes < small.bytes) continue;
    const double t = std::log(static_cast<double>(after.bytes) / small.bytes) /
                     std::log(static_cast<double>(big.bytes) / small.bytes);
    EXPECT_GT(after.psnr, small.psnr + t * (big.psnr - small.psnr)) << "step " << step;
    bracketed = true;
    break;
  }
  EXPECT_TRUE(bracketed) << after.bytes << " bytes outside the plain curve";
}

INSTANTIATE_TEST_SUITE_P(Steps, OptimisedEncoder, testing::Values(4u, 16u, 48u));

struct PresetCase {
  const char* name;
  double minimumPsnr;  // below the measured values of the README's table
};

class PresetEncode : public testing::TestWithParam<PresetCase> {};

TEST_P(PresetEncode, DecodesWithTheQualityItPromises) {
  TempDir tmp;
  EncoderSettings settings;
  settings.quality = GetParam().name;
  const Encoded e = encodeAndMeasure(settings, tmp.file("p.rim"));
  ASSERT_EQ(e.status, status::Success);
  EXPECT_GE(e.psnr, GetParam().minimumPsnr);
  EXPECT_GE(e.dimension, 1u);
  EXPECT_LE(e.dimension, 96u);
}

INSTANTIATE_TEST_SUITE_P(Presets, PresetEncode,
                         testing::Values(PresetCase{"archive", 47.0}, PresetCase{"high", 43.0},
                                         PresetCase{"normal", 39.0}, PresetCase{"small", 35.0}));

TEST(OptimisedEncoderDimension, CoarseStepsKeepFewerBases) {
  TempDir tmp;
  EncoderSettings settings;
  settings.step = 48;
  settings.autoDimension = true;
  const Encoded e = encodeAndMeasure(settings, tmp.file("a.rim"));
  ASSERT_EQ(e.status, status::Success);
  EXPECT_LT(e.dimension, 96u);
}

// --- level choice ------------------------------------------------------------

TEST(ChooseLevels, WithoutRatePriceLevelsAreRounded) {
  const KPX::Matrix<double> c = fromRows({{2.6, -0.4, 0.6, -1.49, 7.2, 0.0}});
  KPX::Matrix<double> levels;
  chooseLevels(c, std::vector<double>(6, 1.0), flatBits(16, 16), 16, 16, 0.0, 0.0, levels);
  EXPECT_EQ(rowOf(levels, 0), (std::vector<double>{3, 0, 1, -1, 7, 0}));
}

TEST(ChooseLevels, AHighPriceZeroesEverything) {
  const KPX::Matrix<double> c = fromRows({{2.6, -0.4, 0.9, -1.49}, {0.7, 0, 0, 1.2}});
  KPX::Matrix<double> levels;
  const LevelChoice choice =
      chooseLevels(c, std::vector<double>(4, 1.0), flatBits(16, 16), 16, 16, 1e6, 0.0, levels);
  for (std::uint32_t k = 0; k < levels.count(); ++k) EXPECT_EQ(levels.data()[k], 0.0);
  // Then the cost is the zeroed distortion plus one end-of-row per row.
  const double zeroed = 2.6 * 2.6 + 0.4 * 0.4 + 0.9 * 0.9 + 1.49 * 1.49 + 0.7 * 0.7 + 1.2 * 1.2;
  EXPECT_NEAR(choice.cost, zeroed + 2 * 1e6 * 4.0, 1e-6);
}

TEST(ChooseLevels, AModeratePriceDropsTheLevelBelowWhenItPays) {
  // 1.55 rounds to 2 (4 code + 2 value bits) or drops to 1 (4 + 1 bits):
  // the lower level wins once lambda exceeds 0.3025 - 0.2025.
  const KPX::Matrix<double> c = fromRows({{1.55}});
  KPX::Matrix<double> cheap, dear;
  chooseLevels(c, {1.0}, flatBits(16, 16), 16, 16, 0.05, 0.0, cheap);
  chooseLevels(c, {1.0}, flatBits(16, 16), 16, 16, 0.2, 0.0, dear);
  EXPECT_EQ(cheap[0][0], 2.0);
  EXPECT_EQ(dear[0][0], 1.0);
}

TEST(ChooseLevels, WeightsScaleTheDistortion) {
  // The same value is kept on a heavily weighted base and dropped on a
  // light one.
  const KPX::Matrix<double> c = fromRows({{0.8, 0.8}});
  KPX::Matrix<double> levels;
  chooseLevels(c, {100.0, 0.01}, flatBits(16, 16), 16, 16, 1.0, 0.0, levels);
  EXPECT_EQ(rowOf(levels, 0), (std::vector<double>{1, 0}));
}

TEST(ChooseLevels, KeptBasesFollowThePricePerBase) {
  const KPX::Matrix<double> c = fromRows({{9, 5, 3, 0.9}, {8, -4, 2, 1.1}, {7, 6, -3, 0.6}});
  KPX::Matrix<double> levels;
  const std::vector<double> w(4, 1.0);
  EXPECT_EQ(chooseLevels(c, w, flatBits(16, 16), 16, 16, 0.01, 1e-9, levels).keptBases, 4u);
  EXPECT_EQ(chooseLevels(c, w, flatBits(16, 16), 16, 16, 0.01, 1e6, levels).keptBases, 1u);
}

// --- averages ----------------------------------------------------------------

TEST(Averages, RoundedToTheNearestMultipleOfTheStep) {
  CAverage a;
  static_cast<KPX::Matrix<double>&>(a) = fromRows({{10.4, 10.6, -7.0}, {1, 2, 3}, {0, 0, 0}});
  a.steps = KPX::Vector<std::uint32_t>(3);
  a.steps[0] = 3;
  a.steps[1] = 1;
  a.steps[2] = 1;
  roundAverages(a);
  EXPECT_EQ(rowOf(a, 0), (std::vector<double>{9, 12, -6}));
  EXPECT_EQ(rowOf(a, 1), (std::vector<double>{1, 2, 3}));
}

TEST(Averages, StepChoiceFollowsTheRatePrice) {
  CAverage a;
  KPX::Matrix<double> m(3, 64);
  for (std::uint32_t c = 0; c < 3; ++c)
    for (std::uint32_t k = 0; k < 64; ++k) m[c][k] = 100.0 + 37.0 * std::sin(k * 0.7 + c);
  static_cast<KPX::Matrix<double>&>(a) = m;
  a.steps = KPX::Vector<std::uint32_t>(3);
  a.parameters.precisionBits = 16;
  a.parameters.maxZeroRun = 16;
  chooseAverageSteps(a, 0.0, 64, 8);
  for (std::uint32_t c = 0; c < 3; ++c) EXPECT_EQ(a.steps[c], 1u);
  chooseAverageSteps(a, 1e9, 64, 8);
  for (std::uint32_t c = 0; c < 3; ++c) EXPECT_GT(a.steps[c], 4u);
}

// --- the rate model ------------------------------------------------------------

TEST(HuffmanCodedBits, MatchesWhatTheCoderWrites) {
  const KPX::Matrix<double> m =
      fromRows({{5, 0, 0, -3, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 1, -1, 0, 0, 2}, {0, 0, 0, 0, 0, 40}});
  for (std::uint32_t z : {2u, 16u}) {
    HuffmanEncoderTable table;
    ASSERT_EQ(buildEncoderTable(countSymbols(m, 8, z), table), status::Success);
    BitStream stream;
    std::uint32_t count = 0, width = 0;
    ASSERT_EQ(writeTable(stream, table.bits, count, width), status::Success);
    ASSERT_EQ(writeTable(stream, table.huffval, count, width), status::Success);
    ASSERT_EQ(encodeMatrix(stream, m, table, 8, z), status::Success);
    const std::uint64_t bits = huffmanCodedBits(m, 8, z);
    EXPECT_EQ((bits + 7) / 8, stream.byteCount()) << "z = " << z;
  }
}

// --- settings ----------------------------------------------------------------

struct SettingsCase {
  const char* name;
  EncoderSettings settings;
  std::uint32_t step;       // expected CoeffQuantizeStep
  std::uint32_t dimension;  // expected DimensionReduction
  bool optimise;
  bool autoDimension;
};

class Settings : public testing::TestWithParam<SettingsCase> {};

TEST_P(Settings, ApplyToTheRecords) {
  const SettingsCase& c = GetParam();
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  const RdOptions rd = applyEncoderSettings(c.settings, common, learning, compression);
  EXPECT_EQ(compression.CoeffQuantizeStep, c.step);
  EXPECT_EQ(compression.AverageQuantizeStep, deriveAverageQuantizeStep(c.step, 8));
  EXPECT_EQ(learning.DimensionReduction, c.dimension);
  EXPECT_EQ(rd.optimise, c.optimise);
  EXPECT_EQ(rd.autoDimension, c.autoDimension);
}

EncoderSettings make(const char* quality, std::uint32_t step, std::uint32_t dimension,
                     bool autoDimension, bool plain) {
  EncoderSettings s;
  s.quality = quality;
  s.step = step;
  s.dimension = dimension;
  s.autoDimension = autoDimension;
  s.plainQuantiser = plain;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Settings,
    testing::Values(SettingsCase{"none", make("", 0, 0, false, false), 1, 96, false, false},
                    SettingsCase{"step", make("", 24, 0, false, false), 24, 96, true, false},
                    SettingsCase{"plain", make("", 24, 0, false, true), 24, 96, false, false},
                    SettingsCase{"preset", make("small", 0, 0, false, false), 20, 96, true, true},
                    SettingsCase{"stepWins", make("Small", 7, 0, false, false), 7, 96, true, true},
                    SettingsCase{"fixedDim", make("normal", 0, 40, false, false), 10, 40, true,
                                 false},
                    SettingsCase{"unknown", make("huge", 0, 0, false, false), 1, 96, false, false}),
    [](const testing::TestParamInfo<SettingsCase>& param) {
      return std::string(param.param.name);
    });

TEST(SettingsText, StepAndDimensionParsing) {
  std::uint32_t step = 0;
  EXPECT_TRUE(parseStep("16", step));
  EXPECT_EQ(step, 16u);
  for (const char* bad : {"", "0", "-3", "4097", "8x", "1.5"}) EXPECT_FALSE(parseStep(bad, step));
  EncoderSettings s;
  EXPECT_TRUE(parseDimension("AUTO", s));
  EXPECT_TRUE(s.autoDimension);
  EXPECT_TRUE(parseDimension("48", s));
  EXPECT_EQ(s.dimension, 48u);
  EXPECT_FALSE(s.autoDimension);
  EXPECT_FALSE(parseDimension("0", s));
  EXPECT_FALSE(parseDimension("most", s));
}
