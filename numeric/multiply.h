// The matrix product, the hot spot of the codec (coefficients, decoding,
// whitening, learning).
#pragma once

#include "numeric/matrix.h"

namespace KPX {

// a (m x n) times b (n x p): a new m x p matrix; hasRowViews is set if either
// operand has it. Walks cache-sized tiles of b copied into packed panels and
// computes register-sized tiles of the result.
//
// Every result element is the sum over the inner index in increasing order,
// one multiply-add per step, whatever the shapes: the result is the same for
// the same operands on every call. Processors with fused multiply-add (AVX2 or
// AVX-512) round each step once; the portable kernel rounds product and sum
// separately.
Matrix<double> multiply(const Matrix<double>& a, const Matrix<double>& b);

// a^T * b without forming the transpose (a is n x m, b is n x p; m x p
// result). Element for element equal to multiply(transpose(a), b).
Matrix<double> multiplyAtB(const Matrix<double>& a, const Matrix<double>& b);

// a^T * a (a is n x m; m x m result), computing one triangle and mirroring
// it. Element for element equal to multiplyAtB(a, a).
Matrix<double> multiplyAtA(const Matrix<double>& a);

// a * b^T without forming the transpose (a is m x n, b is p x n; m x p
// result). Element for element equal to multiply(a, transpose(b)).
Matrix<double> multiplyABt(const Matrix<double>& a, const Matrix<double>& b);

// c = the rows x b.rows() block a (row stride lda) times b, written to c with
// row stride b.cols(), on the calling thread alone: for callers that split
// their work into strips themselves. Element for element equal to the same
// rows of multiply().
void multiplyStrip(const double* a, std::size_t lda, std::uint32_t rows, const Matrix<double>& b,
                   double* c);

// c (rows x p, row stride p) = the rows x n block a (row stride lda) times b
// (n x p), or times b^T when transposeB (b is p x n); the rows are shared
// among the threads. Element for element equal to the same rows of multiply()
// or multiplyABt().
void multiplyRowsInto(const double* a, std::size_t lda, std::uint32_t rows, const Matrix<double>& b,
                      bool transposeB, double* c);

// The Gram matrix a^T a of a tall matrix handed over in strips: each call
// adds the strip a (rows x m, row-major) to the upper triangle of c (m x m);
// continueChains is false for the first strip (c is then overwritten). After
// the last strip, mirrorUpperTriangle completes c. Every element is the same
// chain as multiplyAtB(a, a) over the whole matrix, whatever the strips.
void accumulateGram(const double* a, std::uint32_t rows, std::uint32_t m, Matrix<double>& c,
                    bool continueChains);
void mirrorUpperTriangle(Matrix<double>& c);

// a^T b of tall matrices handed over in strips: each call adds the strip a
// (rows x m, row stride lda) against b (rows x c.cols(), row stride ldb) to c
// (m x c.cols()); continueChains is false for the first strip (c is then
// overwritten). The rows of c are shared among the threads. Every element is
// the same chain as multiplyAtB() over the whole matrices, whatever the strips.
void accumulateAtB(const double* a, std::size_t lda, std::uint32_t rows, const double* b,
                   std::size_t ldb, Matrix<double>& c, bool continueChains);

}  // namespace KPX
