// Eigen decomposition of a real symmetric matrix.
#pragma once

#include "numeric/matrix.h"

namespace KPX {

// Householder reduction to tridiagonal form followed by the QL iteration with
// implicit shifts. a (n x n, symmetric) is replaced by the eigenvectors, vector
// i being column i; eigenvalues (resized to n) receives the eigenvalues in the
// order the iteration leaves them, unsorted.
//
// Returns 0, or -1 when one eigenvalue needs more than 50 iterations; then
// "Too many iterations in routine tqli." goes to the trace and the values
// reached so far are kept. Throws MatrixException when memory runs out.
int eigenSymmetric(Matrix<double>& a, Vector<double>& eigenvalues);

// sqrt(a^2 + b^2) without destructive overflow or underflow.
double pythag(double a, double b);

}  // namespace KPX
