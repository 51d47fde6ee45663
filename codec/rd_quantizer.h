// Encoder-side rate-distortion optimisation. Everything here only chooses
// values the file format already carries (coefficient levels, rounded
// averages, the number of bases kept, the longest zero run of the
// coefficient code), so the files decode with the ordinary decoder.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/components.h"
#include "codec/status.h"

struct RdOptions {
  bool optimise = false;       // choose levels by distortion + lambda x rate
  bool autoDimension = false;  // keep the number of bases that costs least
  // Lagrange multiplier per squared coefficient step: lambda = factor x q^2,
  // in squared sample error per bit.
  double lambdaFactor = 0.14;
};

// Bits a component matrix takes when Huffman-coded with precision p and
// longest run z: codes, value bits and the two stored tables. 0 when the
// matrix cannot be coded with them.
std::uint64_t huffmanCodedBits(const KPX::Matrix<double>& matrix, std::uint32_t precisionBits,
                               std::uint32_t maxZeroRun);

// Code length in bits of every symbol of the alphabet for p and z, from the
// optimal code of the matrix's own symbols; symbols the matrix does not use
// get the longest length plus one, so the optimiser may still pick them.
std::vector<double> symbolBits(const KPX::Matrix<double>& matrix, std::uint32_t precisionBits,
                               std::uint32_t maxZeroRun);

// Chooses each channel's average step (1 to 8, then steps about a quarter apart up
// to largestStep) by squared
// error (each average counts samplesPerAverage times) plus lambda times the
// coded bits of the channel.
void chooseAverageSteps(CAverage& averages, double lambda, std::uint32_t samplesPerAverage,
                        std::uint32_t largestStep);

// Rounds every average to the nearest multiple of its channel's step (the
// component's quantiser then keeps it exactly), halving the error that
// truncation leaves.
void roundAverages(CAverage& averages);

// Unit error of each base: squared sample error of one level on base i
// (|B_i|^2 / s_i^2 for the quantised base B_i and its stored step s_i).
std::vector<double> levelWeights(const CBase& bases);

// Chooses the integer level of every coefficient (the nearest level, the
// one below it, or zero) so that the sum of squared sample errors plus
// lambda times the coded bits of each row is least. levels receives the
// levels (same shape as coefficients, integer-valued). bitsPerBase, when
// non-zero, lets the number of leading bases kept be chosen too: the
// return value is then that number (columns past it are zero), else the
// column count.
struct LevelChoice {
  std::uint32_t keptBases = 0;
  double cost = 0.0;  // total distortion + lambda x bits of the coefficients
};
LevelChoice chooseLevels(const KPX::Matrix<double>& coefficients,
                         const std::vector<double>& weights, const std::vector<double>& bits,
                         std::uint32_t precisionBits, std::uint32_t maxZeroRun, double lambda,
                         double bitsPerBase, KPX::Matrix<double>& levels);

// The whole optimisation on an encoder's components after the coefficients
// have been computed (before the components are coded): rounded averages,
// optimised levels, and with autoDimension the bases past the chosen count
// dropped (dimension is set to the count kept). step is the configured
// coefficient step. status::NoMemory when memory runs out.
Status optimiseForRate(const RdOptions& options, std::uint32_t step, CAverage& averages,
                       CBase& bases, CCoeff& coefficients, std::uint32_t& dimension);
