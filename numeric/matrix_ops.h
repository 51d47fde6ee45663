// Element-wise and structural operations on KPX containers. Every result is a
// fresh container returned by value; operands are not changed.
#pragma once

#include "numeric/matrix.h"

namespace KPX {

// All elements 0 except (i, i) for i < min(rows, cols), which become x.
void setDiagonal(Matrix<double>& m, double x);

Matrix<double> transpose(const Matrix<double>& a);
// Element-wise a - b over a's elements; same shapes assumed.
Matrix<double> subtract(const Matrix<double>& a, const Matrix<double>& b);
// Throws "devided by 0" for x == 0 before anything is allocated.
Matrix<double> divide(const Matrix<double>& a, double x);
Matrix<double> abs(const Matrix<double>& a);
Vector<double> abs(const Vector<double>& v);
Vector<double> scale(const Vector<double>& v, double x);
Vector<double> scale(double x, const Vector<double>& v);
Vector<double> column(const Matrix<double>& a, std::uint32_t j);
Vector<double> row(const Matrix<double>& a, std::uint32_t i);
// Element-wise hyperbolic tangent.
Matrix<double> tanh(const Matrix<double>& a);

// Sum of squares; the Euclidean norm used everywhere is its square root.
double squaredNorm(const double* buffer, std::uint32_t count);

}  // namespace KPX
