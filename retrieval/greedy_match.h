// The greedy weighted matching of two base sets over their absolute-cosine
// matrix S. Step i takes the largest entry of the remaining block (rows and
// columns i..n-1), weights it by n - i, and takes its row and column out of
// the block by moving the still unmatched row i and column i into their
// places. The score is the weighted mean of the chosen entries.
//
// Tie-breaks are part of the result: the block is scanned row-major from
// (i, i), an entry replaces the candidate only when strictly greater, so the
// first maximum met wins and a NaN never replaces anything (a NaN at (i, i)
// itself stays chosen).
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/matrix.h"

// One step of the matching: the position chosen in the rearranged block and
// the value taken there.
struct MatchStep {
  std::uint32_t row = 0;
  std::uint32_t column = 0;
  double value = 0.0;
};

// The matching as a literal procedure: scans the whole remaining block at
// every step and copies rows and columns of S in place (O(n^3)). S must have
// at least n rows and n columns. n = 0 gives 0. steps, when given, receives
// the n steps.
double GreedyMatchScoreReference(KPX::Matrix<double>& S, std::uint32_t n,
                                 std::vector<MatchStep>* steps = nullptr);

// The same matching with identical steps and a bit-identical score: every
// row of the block remembers its first maximum, and after a step only the
// rows that lost theirs rescan. Typically O(n^2); O(n^3) only when ties keep
// every row's maximum moving. S is rearranged like the reference does within
// the block still in play; what it holds elsewhere afterwards is
// unspecified.
double GreedyMatchScore(KPX::Matrix<double>& S, std::uint32_t n,
                        std::vector<MatchStep>* steps = nullptr);
