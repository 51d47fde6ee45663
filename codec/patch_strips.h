// The decoder's reconstruction in strips: one grid row of patches at a time
// is multiplied out (coefficients times bases), its means are added back and
// its pixels are written, with the grid rows shared among the threads. The
// full patch matrix (24 bytes per pixel) is never formed.
#pragma once

#include <cstdint>
#include <functional>

#include "codec/raster.h"
#include "codec/status.h"
#include "numeric/matrix.h"
#include "numeric/sparse_product.h"

// Seconds spent in the two halves of the work, summed over the threads.
struct StripTimes {
  double expand = 0;  // reading coefficients (streamed reconstruction only)
  double multiply = 0;
  double arrange = 0;
};

// Writes every pixel of target (created at the image size) from the
// coefficients (N x D), the dequantised bases (D x P) and the averages
// (3 x N): the same pixels as multiply() followed by arrangePatches().
// status::InvalidArguments for a zero patch side,
// status::InconsistentParameters when the matrices do not fit the target's
// grid (nothing written), status::NoMemory when memory runs out; an unknown
// colour space writes nothing and returns status::Success.
Status reconstructImage(std::uint16_t colorSpace, std::uint32_t patchWidth,
                        std::uint32_t patchHeight, const KPX::Matrix<double>& coefficients,
                        const KPX::Matrix<double>& bases, const KPX::Matrix<double>& averages,
                        CImage& target, StripTimes& times);
// The same from the coefficients as integers (the decoder's form).
Status reconstructImage(std::uint16_t colorSpace, std::uint32_t patchWidth,
                        std::uint32_t patchHeight, const KPX::Matrix<std::int32_t>& coefficients,
                        const KPX::Matrix<double>& bases, const KPX::Matrix<double>& averages,
                        CImage& target, StripTimes& times);

// Gives the next rows rows of the coefficients, as their non-zero entries;
// a non-zero status stops the reconstruction with that status.
using SparseRowSource = std::function<Status(std::uint32_t rows, KPX::SparseRows& out)>;

// The same with the coefficients (of the shape given) read from source
// just before they are multiplied: the whole coefficient matrix is never
// held. On one thread a grid row of patches at a time; on several, the
// calling thread reads the next chunk of grid rows while the others
// multiply and arrange the last one. source is called from the calling
// thread only, in order; the shape is checked before it is first called.
Status reconstructStreamed(std::uint16_t colorSpace, std::uint32_t patchWidth,
                           std::uint32_t patchHeight, std::uint64_t coefficientRows,
                           std::uint64_t coefficientCols, const SparseRowSource& source,
                           const KPX::Matrix<double>& bases, const KPX::Matrix<double>& averages,
                           CImage& target, StripTimes& times);
