// The readers of similarity search: the bases and the averages of a RIM file
// read without decoding the image, and the features and scores computed from
// them, with the damaged file as the target and as the query of a search.
#include <cmath>
#include <cstdlib>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "fuzz/fuzz_support.h"
#include "retrieval/color_similarity.h"
#include "retrieval/edge_similarity.h"

namespace {

// A score is a similarity in [0, 1], -1 for a file that cannot be read, or
// not a number (ranked last). Block means compare by cosine, which a damaged
// file's negative averages can take down to -1.
void checkScore(double score, double lowest = 0.0) {
  if (std::isnan(score) || score == -1.0) return;
  if (score < lowest - 1e-9 || score > 1.0 + 1e-9) std::abort();
}

double lowestOf(std::int32_t mode) { return mode == ColorSimilarity::kBlockMean ? -1.0 : 0.0; }

// A small valid RIM file to compare against.
std::string makeQuery(const fuzz_support::TempFolder& folder) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  common.PatchWidth = common.PatchHeight = 4;
  compression.AverageQuantizeStep =
      deriveAverageQuantizeStep(compression.CoeffQuantizeStep, common.PatchWidth);
  learning.DimensionReduction = 12;
  CImage image;
  if (!image.Create(40, 36, 24)) std::abort();
  for (int y = 0; y < 36; ++y)
    for (int x = 0; x < 40; ++x)
      image.SetPixel(
          x, y,
          makeColorWord(static_cast<std::uint32_t>(x * 6), static_cast<std::uint32_t>(y * 7),
                        static_cast<std::uint32_t>((x ^ y) * 9 % 256)));
  const std::string path = folder.file("query.rim");
  CRIMCodec codec;
  if (codec.setParameters(&common, &learning, &compression) != status::Success ||
      codec.encodeFile(path, image) != status::Success)
    std::abort();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("rim-search");
  static fuzz_support::TempFolder folder;
  static const std::string query = makeQuery(folder);
  const std::string& path = file.write(data, size);

  KPX::Matrix<double> bases;
  const Status basesRead = EdgeSimilarity::ReadRimBases(path, bases);
  if (basesRead < 0 || basesRead >= status::Count) std::abort();
  CAverage averages;
  const Status averagesRead = ColorSimilarity::ReadRimAverages(averages, path);
  if (averagesRead < 0 || averagesRead >= status::Count) std::abort();

  // The damaged file as a target ...
  EdgeSimilarity edge;
  edge.baseLimit = 96;
  if (edge.SetQuery(query) != status::Success) std::abort();
  checkScore(edge.Compare(path));
  for (std::int32_t mode : {ColorSimilarity::kBlockMean, ColorSimilarity::kHistogram,
                            ColorSimilarity::kColorStructure}) {
    ColorSimilarity color;
    color.resolution = 4;
    color.mode = mode;
    if (color.ComputeFeatures(color.queryBlockMeans, color.queryHistogram, query) != 0)
      std::abort();
    checkScore(color.Compare(path), lowestOf(mode));
  }

  // ... and as the query.
  EdgeSimilarity damagedQuery;
  damagedQuery.baseLimit = 96;
  // A damaged query may not load; its scores must stay in range all the same.
  static_cast<void>(damagedQuery.SetQuery(path));
  checkScore(damagedQuery.Compare(query));
  for (std::int32_t mode : {ColorSimilarity::kBlockMean, ColorSimilarity::kHistogram,
                            ColorSimilarity::kColorStructure}) {
    ColorSimilarity color;
    color.resolution = 4;
    color.mode = mode;
    static_cast<void>(color.ComputeFeatures(color.queryBlockMeans, color.queryHistogram, path));
    checkScore(color.Compare(query), lowestOf(mode));
  }
  return 0;
}
