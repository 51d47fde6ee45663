// Inverses: Gauss-Jordan without pivoting, the pseudo-inverse built on it,
// and the inverse through the singular value decomposition.
#pragma once

#include "numeric/matrix.h"

namespace KPX {

// Replaces the square matrix by its inverse and returns the determinant. A
// zero pivot stops at once and returns 0, leaving the matrix partly changed.
double invertInPlace(Matrix<double>& a);

// Replaces the m x n matrix by its n x m inverse (m == n) or pseudo-inverse.
void pseudoInverseInPlace(Matrix<double>& a);

// A copy of a on which pseudoInverseInPlace ran.
Matrix<double> inverse(const Matrix<double>& a);

// Inverse of a square matrix as V * D * U^T, with 1/w for singular values
// |w| > 1e-10 and 0 for the others.
Matrix<double> inverseBySvd(const Matrix<double>& a);

}  // namespace KPX
