#include "retrieval/signature.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "codec/components.h"
#include "codec/patch_source.h"
#include "codec/patches.h"
#include "codec/rimformat.h"
#include "numeric/fastica.h"
#include "numeric/matrix_ops.h"
#include "numeric/status_guard.h"
#include "retrieval/color_similarity.h"
#include "retrieval/edge_similarity.h"
#include "retrieval/relative_histogram.h"
#include "retrieval/robust_similarity.h"
#include "retrieval/search.h"

void ComputeColorFeatures(const KPX::Matrix<double>& averages, std::uint32_t imageWidth,
                          std::uint32_t imageHeight, std::uint32_t patchWidth,
                          std::uint32_t patchHeight, Signature& signature) {
  RIMHeader header;
  header.imageWidth = imageWidth;
  header.imageHeight = imageHeight;
  header.patchWidth = patchWidth;
  header.patchHeight = patchHeight;
  std::uint32_t columns = 0, rows = 0;
  AverageGrid(header, columns, rows);
  // The builders' own statuses are not passed on, as in the colour measure:
  // a feature that could not be finished still compares.
  const std::int32_t e = kSearchColorResolution;
  static_cast<void>(ColorSimilarity::BlockMeans(signature.blockMeans, averages, columns, rows, e));
  static_cast<void>(
      ColorSimilarity::ColorHistogram(signature.histogram, averages, columns, rows, e));
  static_cast<void>(
      ColorSimilarity::ColorStructureHistogram(signature.structure, averages, columns, rows, e));
  if (guardStatus([&] {
        RelativeHistogram(averages, static_cast<std::uint64_t>(columns) * rows,
                          signature.relativeHistogram);
      }) != status::Success)
    signature.relativeHistogram = KPX::Vector<double>();
}

void ComputeBaseNorms(Signature& signature) {
  const KPX::Matrix<double>& b = signature.bases;
  signature.baseNorms.resize(b.rows());
  for (std::uint32_t i = 0; i < b.rows(); ++i)
    signature.baseNorms[i] = std::sqrt(KPX::squaredNorm(b[i], b.cols()));
}

namespace {

void takeHeader(const RIMHeader& header, Signature& signature) {
  signature.learningMethod = header.learningMethod;
  signature.imageWidth = header.imageWidth;
  signature.imageHeight = header.imageHeight;
  signature.patchWidth = header.patchWidth;
  signature.patchHeight = header.patchHeight;
  signature.dimension = header.dimension;
}

}  // namespace

Status ReadRimSignature(const std::string& path, Signature& signature) {
  return guardStatus([&] {
    Signature s;
    CAverage averages;
    RIMHeader header;
    FOLIM_RETURN_IF_ERROR(readComponentAt(path, averages, RimSection::Averages, header));
    takeHeader(header, s);
    ComputeColorFeatures(averages, header.imageWidth, header.imageHeight, header.patchWidth,
                         header.patchHeight, s);
    FOLIM_RETURN_IF_ERROR(EdgeSimilarity::ReadRimBases(path, s.bases));
    ComputeBaseNorms(s);
    signature = std::move(s);
    return status::Success;
  });
}

Status LearnSignature(const CImage& image, const CommonParameters& common,
                      const LearningParameters& learning, const CompressionParameters& compression,
                      Signature& signature) {
  if (image.IsNull()) return status::InvalidValues;
  if (common.PatchWidth * common.PatchHeight * 3u < learning.DimensionReduction)
    return status::InconsistentParameters;
  RIMHeader header;
  header.colorSpace = common.ColorSpace;
  header.learningMethod = learning.MaxIterations != 0 ? 1 : 0;
  header.imageWidth = static_cast<std::uint32_t>(image.GetWidth());
  header.imageHeight = static_cast<std::uint32_t>(image.GetHeight());
  header.patchWidth = common.PatchWidth;
  header.patchHeight = common.PatchHeight;
  header.dimension = learning.DimensionReduction;
  FOLIM_RETURN_IF_ERROR(validateHeader(header));
  if (forwardConversion(common.ColorSpace) == nullptr) return status::UnsupportedColorSpace;
  return guardStatus([&] {
    Signature s;
    takeHeader(header, s);
    // The patches as the encoder cuts them: a large image strip by strip,
    // never held whole (24 bytes per pixel of fresh memory otherwise).
    CAverage averages;
    FOLIM_RETURN_IF_ERROR(averages.setCompressionParameters(compression));
    ImagePatchRows patches(common.ColorSpace, image, common.PatchWidth, common.PatchHeight,
                           averages);
    FOLIM_RETURN_IF_ERROR(patches.prepare());
    CBase bases;
    FOLIM_RETURN_IF_ERROR(bases.setCompressionParameters(compression));
    FOLIM_RETURN_IF_ERROR(learnBases(learning.ConversionCondition, learning.MaxIterations,
                                     learning.DimensionReduction, patches, bases));
    // Cut in strips, the averages come with a pass over the patches, which
    // learning may not have made (RGB bases come from the pixels directly).
    if (!patches.keptWhole())
      patches.forEachStrip([](std::uint32_t, std::uint32_t, const double*) {});
    // The averages as a RIM file stores them: divided by their step and
    // truncated; the colour measures read them undequantised.
    FOLIM_RETURN_IF_ERROR(averages.quantize());
    ComputeColorFeatures(averages, header.imageWidth, header.imageHeight, header.patchWidth,
                         header.patchHeight, s);
    // Sorting and quantising the bases is what the file keeps of them; the
    // analysis matrix is the price of running the encoder's own step.
    KPX::Matrix<double> analysis;
    FOLIM_RETURN_IF_ERROR(bases.prepareBases(analysis));
    s.bases = std::move(static_cast<KPX::Matrix<double>&>(bases));
    ComputeBaseNorms(s);
    signature = std::move(s);
    return status::Success;
  });
}

double SignatureEdgeSimilarity(const Signature& query, const Signature& target) {
  EdgeSimilarity edge;
  edge.baseLimit = kSearchBaseLimit;
  // The measure only reads its query members; the copies are the price of
  // reusing it unchanged.
  edge.queryBases = query.bases;
  edge.queryNorms = query.baseNorms;
  return edge.MatchScore(target.bases, target.baseNorms);
}

double SignatureColorSimilarity(const Signature& query, const Signature& target,
                                std::int32_t colorMode) {
  switch (colorMode) {
    case ColorSimilarity::kBlockMean:
      return ColorSimilarity::BlockMeanSimilarity(query.blockMeans, target.blockMeans);
    case ColorSimilarity::kHistogram:
      return ColorSimilarity::HistogramSimilarity(query.histogram, target.histogram);
    case ColorSimilarity::kColorStructure:
      return ColorSimilarity::HistogramIntersection(query.structure, target.structure);
    case kRobustColorMode: {
      const auto fits = [](const Signature& s) {
        return s.structure.count() == kRobustStructureBins &&
               s.histogram.count() == kRobustHistogramBins &&
               s.blockMeans.count() == 3 * kRobustCells;
      };
      if (!fits(query) || !fits(target)) return 0.0;
      const auto features = [](const Signature& s) {
        return RobustFeatures<double>{
            s.structure.data(), s.histogram.data(), s.blockMeans.data(),
            s.relativeHistogram.count() == kRelativeBins ? s.relativeHistogram.data() : nullptr};
      };
      return RobustColorOf(features(query), features(target));
    }
    default:
      return 0.0;
  }
}

double SignatureScore(const Signature& query, const Signature& target, std::int32_t colorMode,
                      double colorWeight, double edge, double color) {
  if (colorMode != kRobustColorMode) return (1.0 - colorWeight) * edge + colorWeight * color;
  const double trust = std::min(
      EdgeTrust(query.imageWidth, query.imageHeight, query.patchWidth, query.patchHeight),
      EdgeTrust(target.imageWidth, target.imageHeight, target.patchWidth, target.patchHeight));
  return RobustScore(edge, color, colorWeight, trust);
}
