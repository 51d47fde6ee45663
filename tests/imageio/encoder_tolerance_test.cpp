// The encoder may change its arithmetic (precision, order of sums, vector
// versions of its functions) as long as every photograph of the corpus keeps
// its size and quality: for each preset the file stays within 1 % of the
// recorded size and 0.05 dB of the recorded PSNR, and FastICA converges
// within the cap where it converged before (and not where it did not).
//
// tests/data/encoder_tolerance.txt holds the recorded figures, one line per
// photograph and preset: name, preset, bytes, PSNR, learning passes. To
// record them again (only after a deliberate change of the format or of
// what the encoder aims at):
//   FOLIM_WRITE_TOLERANCE=1 imageio_tests --gtest_filter='*EncoderTolerance*'
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "codec/encoder_settings.h"
#include "codec/rim_codec.h"
#include "imageio/library_io.h"
#include "support/codec_checks.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::corpusPhotographs;
using testing_support::dataPath;
using testing_support::psnr;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;

namespace {

constexpr double kSizeTolerance = 0.01;  // fraction of the recorded size
constexpr double kPsnrTolerance = 0.05;  // dB
constexpr std::uint32_t kIcaCap = 100;   // what --method ica runs

struct Preset {
  const char* name;     // as recorded
  const char* quality;  // --quality; empty for none
  bool ica;
};

const Preset kPresets[] = {
    {"default", "", false},      {"archive", "archive", false}, {"high", "high", false},
    {"normal", "normal", false}, {"small", "small", false},     {"ica", "", true},
};

struct Figures {
  std::uintmax_t bytes = 0;
  double psnr = 0.0;
  std::uint32_t passes = 0;  // the count learning prints: cap + 1 when it never converged
};

std::string tablePath() { return dataPath("encoder_tolerance.txt"); }

bool writingTable() { return std::getenv("FOLIM_WRITE_TOLERANCE") != nullptr; }

std::map<std::string, Figures> readTable() {
  std::map<std::string, Figures> table;
  std::ifstream in(tablePath());
  std::string photo;
  std::string preset;
  Figures f;
  while (in >> photo >> preset >> f.bytes >> f.psnr >> f.passes) table[photo + " " + preset] = f;
  return table;
}

// The count learning printed after its dots (a line of dots, then digits).
std::uint32_t learningPasses(const std::string& trace) {
  static const std::regex line(R"((?:^|\n)\.*([0-9]+)\n)");
  std::smatch m;
  if (!std::regex_search(trace, m, line)) return 0;
  return static_cast<std::uint32_t>(std::stoul(m[1].str()));
}

// Encodes the photograph as folim-cli encode does with the preset and the
// default config.ini, decodes it, and measures.
Figures encodeAndMeasure(const CImage& source, const Preset& preset, const std::string& path) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  if (preset.ica && learning.MaxIterations == 0) learning.MaxIterations = kIcaCap;
  EncoderSettings settings;
  settings.quality = preset.quality;
  CRIMCodec codec;
  codec.rd = applyEncoderSettings(settings, common, learning, compression);
  Figures f;
  {
    TraceCapture capture;
    EXPECT_EQ(codec.setParameters(&common, &learning, &compression), status::Success);
    EXPECT_EQ(codec.encodeFile(path, source), status::Success);
    f.passes = learningPasses(capture.text());
  }
  f.bytes = readFileBytes(path).size();
  CImage decoded;
  EXPECT_EQ(testing_support::decode(path, decoded), status::Success);
  f.psnr = psnr(source, decoded);
  return f;
}

class EncoderTolerance : public testing::TestWithParam<std::string> {};

TEST_P(EncoderTolerance, EveryPresetKeepsItsSizeAndQuality) {
  const std::string& photo = GetParam();
  CImage source;
  std::string error;
  ASSERT_TRUE(LoadWithImageLibrary(corpusPath(photo), source, &error)) << error;
  const std::map<std::string, Figures> table = readTable();
  TempDir tmp;
  std::ostringstream written;
  for (const Preset& preset : kPresets) {
    SCOPED_TRACE(photo + " " + preset.name);
    const Figures now = encodeAndMeasure(source, preset, tmp.file("out.rim"));
    if (writingTable()) {
      written << photo << ' ' << preset.name << ' ' << now.bytes << ' ' << std::fixed
              << std::setprecision(4) << now.psnr << ' ' << now.passes << '\n';
      continue;
    }
    const auto found = table.find(photo + " " + preset.name);
    ASSERT_NE(found, table.end()) << "no recorded figures";
    const Figures& then = found->second;
    EXPECT_LE(std::fabs(static_cast<double>(now.bytes) - static_cast<double>(then.bytes)),
              kSizeTolerance * static_cast<double>(then.bytes))
        << "bytes now " << now.bytes << ", recorded " << then.bytes;
    EXPECT_NEAR(now.psnr, then.psnr, kPsnrTolerance);
    ASSERT_GE(now.passes, 1u) << "no learning count in the trace";
    if (preset.ica)
      EXPECT_EQ(now.passes <= kIcaCap, then.passes <= kIcaCap)
          << "passes now " << now.passes << ", recorded " << then.passes;
    else
      EXPECT_EQ(now.passes, 1u);
  }
  if (writingTable()) {
    // One test per photograph appends its lines; the table is sorted by
    // photograph because the cases run in that order.
    std::ofstream out(tablePath(),
                      photo == corpusPhotographs().front() ? std::ios::trunc : std::ios::app);
    out << written.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, EncoderTolerance, testing::ValuesIn(corpusPhotographs()),
                         [](const testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
