// Singular value decomposition: Householder reduction to bidiagonal form, then
// the QR iteration with implicit shifts.
#pragma once

#include "numeric/matrix.h"

namespace KPX {

// Decomposes a (m x n) as U * diag(w) * V^T: a is replaced by U (m x n),
// w is resized to n and v to n x n. At most 50 QR sweeps are spent on one
// singular value; one that has not converged by then keeps the value reached
// and the decomposition goes on with the next one, without a report.
// Singular values are not sorted; a converged one is non-negative.
// Throws MatrixException when memory runs out.
void svdDecompose(Matrix<double>& a, Vector<double>& w, Matrix<double>& v);

}  // namespace KPX
