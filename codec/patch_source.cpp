#include "codec/patch_source.h"

#include <algorithm>
#include <memory>
#include <new>

#include "codec/limits.h"
#include "codec/patch_gram.h"
#include "numeric/parallel.h"
#include "numeric/status_guard.h"

namespace {

// Patches per thread in a strip (about 400 KB of 8 x 8 RGB patches): still
// in the cache when the product that follows its cutting reads it, and few
// fresh pages to fault in, which cost more than cutting more strips.
constexpr std::uint32_t kCachedStripPatches = 256;

}  // namespace

ImagePatchRows::ImagePatchRows(std::uint16_t colorSpace, const CImage& source,
                               std::uint32_t patchWidth, std::uint32_t patchHeight,
                               KPX::Matrix<double>& averages)
    : colorSpace_(colorSpace),
      source_(source),
      patchWidth_(patchWidth),
      patchHeight_(patchHeight),
      averages_(averages) {}

Status ImagePatchRows::prepare() {
  if (patchWidth_ == 0 || patchHeight_ == 0) return status::InvalidArguments;
  const std::uint32_t width =
      source_.IsNull() ? 0u : static_cast<std::uint32_t>(source_.GetWidth());
  const std::uint32_t height =
      source_.IsNull() ? 0u : static_cast<std::uint32_t>(source_.GetHeight());
  grid_ = patchGrid(width, height, patchWidth_, patchHeight_);
  const std::uint64_t bytes =
      std::uint64_t{grid_.columns} * grid_.rows * 3 * patchWidth_ * patchHeight_ * sizeof(double);
  keep_ = bytes <= codecLimits().maxWholePatchBytes;
  if (keep_) {
    whole_.patchWidth = patchWidth_;
    whole_.patchHeight = patchHeight_;
    return extractPatches(colorSpace_, source_, whole_, averages_);
  }
  return guardStatus([&] { averages_.resize(3, grid_.count()); });
}

void ImagePatchRows::forEachStrip(const StripFn& f) const {
  if (keep_) {
    if (whole_.rows() > 0) f(0, whole_.rows(), whole_.data());
    return;
  }
  const std::uint64_t cached = std::uint64_t{kCachedStripPatches} * KPX::threadCount();
  const auto patchesPerStrip =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(codecLimits().stripPatches, cached));
  const std::uint32_t stripRows = std::max<std::uint32_t>(1, patchesPerStrip / grid_.columns);
  const std::size_t values =
      static_cast<std::size_t>(stripRows) * grid_.columns * 3 * patchWidth_ * patchHeight_;
  std::unique_ptr<double[]> strip(new (std::nothrow) double[values]);
  if (!strip) throw KPX::MatrixException{KPX::kTooFewMemory};
  for (std::uint32_t row = 0; row < grid_.rows; row += stripRows) {
    const std::uint32_t end = std::min(grid_.rows, row + stripRows);
    const Status s = extractPatchRows(colorSpace_, source_, patchWidth_, patchHeight_, row, end,
                                      strip.get(), averages_);
    if (s != status::Success) throw KPX::MatrixException{KPX::kTooFewMemory};
    f(row * grid_.columns, (end - row) * grid_.columns, strip.get());
  }
}

bool ImagePatchRows::gramMatrix(KPX::Matrix<double>& gram) const {
  return integerPatchGram(colorSpace_, source_, patchWidth_, patchHeight_, gram);
}
