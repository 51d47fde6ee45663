// A signature is what the ranking reads of one image: the learning flag, the
// header fields the measures compare, the learned bases as a RIM file stores
// them (quantised, not divided by their steps) and the three colour features
// computed from the stored patch averages. A RIM file's signature is read
// from the file exactly as a search reads it; any other image's is learned in
// memory by the encoder's own steps under the given parameters, without
// coding coefficients or writing a file. Both give the same signature for an
// image and the RIM file encoded from it.
#pragma once

#include <cstdint>
#include <string>

#include "codec/parameters.h"
#include "codec/raster.h"
#include "codec/status.h"
#include "numeric/matrix.h"
#include "retrieval/robust_similarity.h"

struct Signature {
  std::uint16_t learningMethod = 0;  // 1: ICA bases, 0: PCA bases
  std::uint32_t imageWidth = 0;
  std::uint32_t imageHeight = 0;
  std::uint32_t patchWidth = 0;
  std::uint32_t patchHeight = 0;
  std::uint32_t dimension = 0;
  KPX::Matrix<double> bases;       // dimension x (3 * patchWidth * patchHeight)
  KPX::Vector<double> baseNorms;   // Euclidean norm of every base
  KPX::Matrix<double> blockMeans;  // colour mode 0
  KPX::Vector<double> histogram;   // colour mode 1
  KPX::Vector<double> structure;   // colour mode 2
  // The robust measure's relative histogram; empty in signatures stored
  // before it existed.
  KPX::Vector<double> relativeHistogram;
};

// The colour features of all three modes from stored averages (3 x N) at the
// search's resolution, built as the colour measure builds them (a builder
// that runs out of memory leaves its feature as far as it got), and the
// relative histogram (left empty when memory runs out).
void ComputeColorFeatures(const KPX::Matrix<double>& averages, std::uint32_t imageWidth,
                          std::uint32_t imageHeight, std::uint32_t patchWidth,
                          std::uint32_t patchHeight, Signature& signature);

// The Euclidean norm of every base, as the edge measure computes it.
void ComputeBaseNorms(Signature& signature);

// Reads a RIM file's signature: the statuses of reading its header, averages
// and bases (status::CannotOpenFile, status::ReadFailed,
// status::InvalidFileType, status::InvalidValues and those of the sections),
// status::NoMemory when memory runs out.
Status ReadRimSignature(const std::string& path, Signature& signature);

// Learns an image's signature: patches and averages in the colour space,
// averages quantised by their step, bases learned and prepared as the
// encoder does. The statuses of those steps; status::InvalidValues for an
// empty image or one whose shapes are over the codec's limits;
// status::InconsistentParameters when the dimension exceeds the patch length;
// status::NoMemory when memory runs out. Writes nothing to the trace except
// what learning itself writes.
Status LearnSignature(const CImage& image, const CommonParameters& common,
                      const LearningParameters& learning, const CompressionParameters& compression,
                      Signature& signature);

// The two measures between signatures, with the search's fixed parameters:
// the edge similarity over at most 96 bases and the colour similarity of a
// mode (0, 1, 2, or the robust measure's colour half; another mode gives 0). The same values as the
// measures give for the RIM files the signatures came from.
double SignatureEdgeSimilarity(const Signature& query, const Signature& target);
double SignatureColorSimilarity(const Signature& query, const Signature& target,
                                std::int32_t colorMode);

// The combined score of the two measures' values: (1 - w) * edge + w * colour,
// but for the robust measure, whose edge weight shrinks for pictures too
// small for their bases (retrieval/robust_similarity.h).
double SignatureScore(const Signature& query, const Signature& target, std::int32_t colorMode,
                      double colorWeight, double edge, double color);
