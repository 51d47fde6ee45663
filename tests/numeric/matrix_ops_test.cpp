#include "numeric/matrix_ops.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::Vector;
using numeric_test::fromRows;

namespace {

TEST(MatrixOps, DivideByZeroThrowsAndLeavesNoResult) {
  const Matrix<double> a = fromRows({{1, 2}});
  Matrix<double> result = fromRows({{7}});
  try {
    result = KPX::divide(a, 0.0);
    FAIL() << "no exception";
  } catch (const KPX::MatrixException& e) {
    EXPECT_STREQ(e.message, "devided by 0");
  }
  EXPECT_EQ(result[0][0], 7);
}

TEST(MatrixOps, ElementWise) {
  const Matrix<double> a = fromRows({{1, -2}, {3, -4}});
  const Matrix<double> b = fromRows({{0.5, 1}, {1, 1}});
  const Matrix<double> d = KPX::divide(a, 2.0);
  EXPECT_EQ(d[1][1], -2);
  const Matrix<double> s = KPX::subtract(a, b);
  EXPECT_EQ(s[0][0], 0.5);
  EXPECT_EQ(s[1][1], -5);
  const Matrix<double> m = KPX::abs(a);
  EXPECT_EQ(m[0][1], 2);
  const Matrix<double> t = KPX::tanh(a);
  EXPECT_DOUBLE_EQ(t[1][0], std::tanh(3.0));
  EXPECT_TRUE(t.hasRowViews());
}

TEST(MatrixOps, TransposeColumnRow) {
  const Matrix<double> a = fromRows({{1, 2, 3}, {4, 5, 6}});
  const Matrix<double> t = KPX::transpose(a);
  ASSERT_EQ(t.rows(), 3u);
  ASSERT_EQ(t.cols(), 2u);
  EXPECT_EQ(t[2][0], 3);
  EXPECT_EQ(t[0][1], 4);
  const Vector<double> c = KPX::column(a, 1);
  ASSERT_EQ(c.count(), 2u);
  EXPECT_EQ(c[1], 5);
  const Vector<double> r = KPX::row(a, 1);
  ASSERT_EQ(r.count(), 3u);
  EXPECT_EQ(r[2], 6);
}

TEST(MatrixOps, SetDiagonal) {
  Matrix<double> m(2, 3);
  KPX::setDiagonal(m, 4.0);
  EXPECT_EQ(m[0][0], 4);
  EXPECT_EQ(m[1][1], 4);
  EXPECT_EQ(m[0][2], 0);
  EXPECT_EQ(m[1][0], 0);
  Matrix<double> empty(0, 3);
  KPX::setDiagonal(empty, 1.0);
  EXPECT_EQ(empty.rows(), 0u);
  EXPECT_EQ(empty.data(), nullptr);
}

TEST(MatrixOps, VectorsAndNorm) {
  Vector<double> v(3);
  v[0] = -1;
  v[1] = 2;
  v[2] = -3;
  const Vector<double> a = KPX::abs(v);
  EXPECT_EQ(a[2], 3);
  EXPECT_EQ(KPX::scale(v, 2.0)[1], 4);
  EXPECT_EQ(KPX::scale(-1.0, v)[0], 1);
  // Seven elements: one block of four plus a tail of three.
  const double values[] = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(KPX::squaredNorm(values, 7), 140);
  EXPECT_EQ(KPX::squaredNorm(values, 0), 0);
}

}  // namespace
