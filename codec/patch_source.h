// The patches of an image as a row source for learning and the coefficient
// product. A small image is cut once and its patch matrix kept; a large one
// is cut again, strip by strip, whenever its patches are needed, so that the
// encoder never holds its whole patch matrix (24 bytes per pixel).
#pragma once

#include <cstdint>

#include "codec/patches.h"
#include "codec/raster.h"
#include "codec/status.h"
#include "numeric/row_source.h"

class ImagePatchRows : public KPX::RowSource {
 public:
  // Patch matrices up to codecLimits().maxWholePatchBytes are kept whole,
  // larger ones are cut in strips of codecLimits().stripPatches (at most
  // 1024 per thread, so that a strip stays in the cache).

  // averages (3 x patch count) receives the means on every pass.
  ImagePatchRows(std::uint16_t colorSpace, const CImage& source, std::uint32_t patchWidth,
                 std::uint32_t patchHeight, KPX::Matrix<double>& averages);

  // Sizes the averages and, for a small image, cuts it: status::Success, or
  // the status of the extraction (status::NoMemory, status::InvalidArguments,
  // status::UnsupportedColorSpace).
  Status prepare();
  bool keptWhole() const { return keep_; }

  std::uint32_t rows() const override { return grid_.count(); }
  std::uint32_t cols() const override { return 3 * patchWidth_ * patchHeight_; }
  void forEachStrip(const StripFn& f) const override;
  // RGB images with power-of-two patch sizes: from the pixels, in integers.
  bool gramMatrix(KPX::Matrix<double>& gram) const override;

 private:
  std::uint16_t colorSpace_;
  const CImage& source_;
  std::uint32_t patchWidth_;
  std::uint32_t patchHeight_;
  KPX::Matrix<double>& averages_;
  PatchGrid grid_;
  bool keep_ = false;
  PatchMatrix whole_;
};
