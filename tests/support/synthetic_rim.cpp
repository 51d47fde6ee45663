#include "support/synthetic_rim.h"

#include <dirent.h>

#include <cmath>

#include "codec/raster.h"
#include "codec/rim_codec.h"

namespace testing_support {

namespace {

void copyInto(KPX::Matrix<double>& to, const KPX::Matrix<double>& from) {
  to.resize(from.rows(), from.cols());
  for (std::uint32_t k = 0; k < from.count(); ++k) to.data()[k] = from.data()[k];
}

}  // namespace

Status writeSyntheticRim(const std::string& path, const SyntheticRim& rim) {
  CRIMCodec codec;
  codec.common.ColorSpace = rim.colorSpace;
  codec.common.PatchWidth = rim.patchWidth;
  codec.common.PatchHeight = rim.patchHeight;
  codec.learning.MaxIterations = rim.learningMethod != 0 ? 100 : 0;
  codec.learning.DimensionReduction = rim.dimension;
  CompressionParameters compression;
  compression.AverageQuantizeStep = rim.averageStep;
  compression.CoeffQuantizeStep = 1;
  compression.BasePrecisionBit = rim.basePrecisionBits;
  compression.PrecisionBit = rim.precisionBits;
  compression.MaxZeroRun = rim.maxZeroRun;
  FOLIM_RETURN_IF_ERROR(codec.average.setCompressionParameters(compression));
  FOLIM_RETURN_IF_ERROR(codec.base.setCompressionParameters(compression));
  FOLIM_RETURN_IF_ERROR(codec.coeff.setCompressionParameters(compression));

  copyInto(codec.average, rim.averages);
  copyInto(codec.base, rim.bases);
  copyInto(codec.coeff, rim.coefficients);
  codec.base.steps.resize(static_cast<std::uint32_t>(rim.baseSteps.size()));
  for (std::size_t i = 0; i < rim.baseSteps.size(); ++i)
    codec.base.steps[static_cast<std::uint32_t>(i)] = rim.baseSteps[i];
  codec.average.mode = rim.averageMode;
  codec.base.mode = rim.baseMode;
  codec.coeff.mode = rim.coeffMode;

  FOLIM_RETURN_IF_ERROR(codec.average.encode());
  FOLIM_RETURN_IF_ERROR(codec.base.encode());
  FOLIM_RETURN_IF_ERROR(codec.coeff.encode());

  CImage source;
  if (!source.Create(static_cast<int>(rim.width), static_cast<int>(rim.height), 24))
    return status::UnknownError;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return status::CannotOpenFile;
  Status s = codec.writeHeader(file, source);
  if (s == status::Success) s = codec.writeSections(file);
  std::fclose(file);
  return s;
}

SyntheticRim exactImageRim(std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                           std::uint32_t patchHeight, std::uint16_t colorSpace,
                           std::uint32_t averageStep, const ChannelFunction& channels) {
  SyntheticRim rim;
  rim.colorSpace = colorSpace;
  rim.width = width;
  rim.height = height;
  rim.patchWidth = patchWidth;
  rim.patchHeight = patchHeight;
  rim.averageStep = averageStep;
  const std::uint32_t columns = (width + patchWidth - 1) / patchWidth;
  const std::uint32_t rows = (height + patchHeight - 1) / patchHeight;
  const std::uint32_t n = patchWidth * patchHeight;
  const std::uint32_t p = 3 * n;
  const std::uint32_t patches = columns * rows;
  rim.dimension = p;

  rim.bases.resize(p, p);
  KPX::fill(rim.bases, 0.0);
  rim.baseSteps.resize(p);
  for (std::uint32_t i = 0; i < p; ++i) {
    rim.baseSteps[i] = 1 + i % 3;
    rim.bases[i][i] = rim.baseSteps[i];  // dequantises to the unit vector
  }

  rim.averages.resize(3, patches);
  rim.coefficients.resize(patches, p);
  for (std::uint32_t k = 0; k < patches; ++k) {
    const std::uint32_t x0 = (k % columns) * patchWidth;
    const std::uint32_t y0 = (k / columns) * patchHeight;
    std::vector<ColorTriple> values(n);
    double sums[3] = {0, 0, 0};
    for (std::uint32_t y = 0; y < patchHeight; ++y) {
      for (std::uint32_t x = 0; x < patchWidth; ++x) {
        const std::uint32_t px = std::min(x0 + x, width - 1);
        const std::uint32_t py = std::min(y0 + y, height - 1);
        const ColorTriple t = channels(px, py);
        values[y * patchWidth + x] = t;
        sums[0] += t.c0;
        sums[1] += t.c1;
        sums[2] += t.c2;
      }
    }
    for (std::uint32_t c = 0; c < 3; ++c) {
      const double mean = sums[c] / n;
      rim.averages[c][k] = mean;
      const double restored = std::trunc(mean / averageStep) * averageStep;
      for (std::uint32_t i = 0; i < n; ++i) {
        const ColorTriple& t = values[i];
        const double v = c == 0 ? t.c0 : c == 1 ? t.c1 : t.c2;
        rim.coefficients[k][c * n + i] = v - restored;
      }
    }
  }
  return rim;
}

SyntheticRim smallRim() {
  SyntheticRim rim;
  rim.width = 5;
  rim.height = 3;
  rim.patchWidth = 2;
  rim.patchHeight = 2;
  rim.dimension = 4;
  rim.averageStep = 2;
  const std::uint32_t patches = 3 * 2;
  rim.averages.resize(3, patches);
  for (std::uint32_t c = 0; c < 3; ++c)
    for (std::uint32_t k = 0; k < patches; ++k) rim.averages[c][k] = 40.0 + 30 * c + 7 * k;
  rim.bases.resize(4, 12);
  for (std::uint32_t i = 0; i < 4; ++i)
    for (std::uint32_t j = 0; j < 12; ++j)
      rim.bases[i][j] = static_cast<double>((static_cast<int>(i * 5 + j * 3) % 13) - 6);
  rim.baseSteps = {3, 5, 7, 9};
  rim.coefficients.resize(patches, 4);
  for (std::uint32_t k = 0; k < patches; ++k)
    for (std::uint32_t i = 0; i < 4; ++i)
      rim.coefficients[k][i] = static_cast<double>((static_cast<int>(k * 7 + i * 11) % 19) - 9);
  return rim;
}

int openFileDescriptorCount() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  while (readdir(dir) != nullptr) ++count;
  closedir(dir);
  return count;
}

}  // namespace testing_support
