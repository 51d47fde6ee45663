// Moving pixels between a raster and the codec's matrices: the patch grid,
// patch extraction with per-patch means, patch arrangement, and the
// one-pixel-per-patch average image.
#pragma once

#include <cstdint>

#include "codec/colorspace.h"
#include "codec/raster.h"
#include "codec/status.h"
#include "numeric/matrix.h"

// patch count x (3 * patchWidth * patchHeight); each row holds one patch as
// three planes (c0, c1, c2), pixel (x, y) of a plane at y * patchWidth + x.
struct PatchMatrix : public KPX::Matrix<double> {
  std::uint32_t patchWidth = 0;
  std::uint32_t patchHeight = 0;
};

struct PatchGrid {
  std::uint32_t columns = 0;  // ceil(width / patchWidth)
  std::uint32_t rows = 0;     // ceil(height / patchHeight)
  std::uint32_t count() const { return columns * rows; }
};
// A zero patch side gives an empty grid.
PatchGrid patchGrid(std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                    std::uint32_t patchHeight);

// Cuts source into patches in the colour space, removes each patch's
// per-channel mean and stores the means in averages (3 x patch count).
// Pixels past the right or bottom edge repeat the last column or row.
// Unknown colour space: does nothing and returns status::Success.
// status::NoMemory when memory runs out, status::InvalidArguments for a zero
// patch side (the matrices are then left as they were).
Status extractPatches(std::uint16_t colorSpace, const CImage& source, PatchMatrix& patches,
                      KPX::Matrix<double>& averages);

// Extraction of grid rows [firstRow, endRow) only, for encoding in strips:
// their patches go to out ((endRow - firstRow) x columns rows of 3 * pw * ph
// values) and their means to averages (already 3 x patch count). The same
// values as extractPatches. status::InvalidArguments for a zero patch side,
// status::InconsistentParameters for rows past the grid or averages too small,
// status::UnsupportedColorSpace for an unknown colour space, status::NoMemory
// when memory runs out.
Status extractPatchRows(std::uint16_t colorSpace, const CImage& source, std::uint32_t patchWidth,
                        std::uint32_t patchHeight, std::uint32_t firstRow, std::uint32_t endRow,
                        double* out, KPX::Matrix<double>& averages);

// Adds the means back into patches (changed in place), converts to RGB and
// writes the pixels of target (already created at the image size). RGB with
// patch sides that are multiples of 4 on a 24-bit target writes whole rows,
// with the same pixels as the pixel-by-pixel path. Unknown colour space: does
// nothing and returns status::Success. status::InvalidArguments for a zero
// patch side; status::InconsistentParameters when the matrices do not cover
// the target's grid (nothing is written then).
Status arrangePatches(std::uint16_t colorSpace, std::uint32_t patchWidth, std::uint32_t patchHeight,
                      CImage& target, PatchMatrix& patches, const KPX::Matrix<double>& averages);

// Creates target as a 24-bit bottom-up image of one pixel per patch drawn
// from the averages: RGB directly, other colour spaces through inverse (null:
// the colour space's own conversion). status::PlatformError when the image
// cannot be created (also an empty grid); status::InconsistentParameters when
// averages has fewer than 3 rows or fewer columns than patches (target left
// untouched).
Status renderAverageImage(const KPX::Matrix<double>& averages, std::uint16_t colorSpace,
                          std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                          std::uint32_t patchHeight, InverseConversion inverse, CImage& target);

// n = values per plane. Returns the plane means and subtracts them.
ColorTriple removePatchMean(double* row, std::uint32_t n);
void addPatchMean(double* row, std::uint32_t n, const ColorTriple& means);
