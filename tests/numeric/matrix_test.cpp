#include "numeric/matrix.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::MatrixException;
using KPX::Vector;
using numeric_test::fromRows;

namespace {

template <class F>
std::string thrownMessage(F&& f) {
  try {
    f();
  } catch (const MatrixException& e) {
    return e.message;
  }
  return "nothing thrown";
}

TEST(MatrixStorage, DefaultIsEmptyWithRowViews) {
  Matrix<double> m;
  EXPECT_EQ(m.rows(), 0u);
  EXPECT_EQ(m.cols(), 0u);
  EXPECT_EQ(m.count(), 0u);
  EXPECT_EQ(m.data(), nullptr);
  EXPECT_TRUE(m.hasRowViews());
  Vector<double> v;
  EXPECT_EQ(v.count(), 0u);
  EXPECT_EQ(v.data(), nullptr);
}

TEST(MatrixStorage, ZeroRowsOrColumnsOwnNoBuffer) {
  EXPECT_EQ(Matrix<double>(0, 5).data(), nullptr);
  EXPECT_EQ(Matrix<double>(5, 0).data(), nullptr);
  EXPECT_EQ(Matrix<double>(5, 0).rows(), 5u);
}

TEST(MatrixStorage, ByteSizesBeyond32BitsAreRefused) {
  // 2^29 doubles are 2^32 bytes: one byte too many.
  EXPECT_EQ(thrownMessage([] { Matrix<double> m(1u << 29, 1); }), "too few memory");
  EXPECT_EQ(thrownMessage([] { Matrix<double> m(1u << 15, 1u << 14); }), "too few memory");
  // rows * cols itself overflows 32 bits.
  EXPECT_EQ(thrownMessage([] { Matrix<double> m(1u << 16, 1u << 16); }), "too few memory");
  EXPECT_EQ(thrownMessage([] { Vector<double> v(1u << 29); }), "too few memory");
  EXPECT_EQ(thrownMessage([] { Matrix<int> m(1u << 30, 1); }), "too few memory");
  EXPECT_EQ(thrownMessage([] { Vector<short> v(1u << 31); }), "too few memory");
  Matrix<double> m(2, 2);
  EXPECT_EQ(thrownMessage([&] { m.resize(1u << 29, 1); }), "too few memory");
  // A failed resize leaves an empty matrix, not a dangling one.
  EXPECT_EQ(m.count(), 0u);
  EXPECT_EQ(m.data(), nullptr);
}

TEST(MatrixStorage, NamedSourceIsCopied) {
  const Matrix<double> source = fromRows({{1, 2}, {3, 4}});
  Matrix<double> copy(source);
  EXPECT_NE(copy.data(), source.data());
  EXPECT_EQ(copy[1][0], 3);
  Matrix<double> assigned;
  assigned = source;
  EXPECT_NE(assigned.data(), source.data());
  EXPECT_EQ(assigned[0][1], 2);
  EXPECT_EQ(source.count(), 4u);
}

TEST(MatrixStorage, TemporaryHandsItsBufferOver) {
  Matrix<double> source = fromRows({{1, 2, 3}, {4, 5, 6}});
  const double* buffer = source.data();
  Matrix<double> target(7, 7);
  target = std::move(source);
  EXPECT_EQ(target.data(), buffer);
  EXPECT_EQ(target.rows(), 2u);
  EXPECT_EQ(target.cols(), 3u);
  EXPECT_EQ(target[1][2], 6);
  // The emptied source keeps its shape, owns nothing and can be reused.
  EXPECT_EQ(source.data(), nullptr);
  EXPECT_EQ(source.count(), 0u);
  EXPECT_EQ(source.rows(), 2u);
  source.resize(1, 1);
  source[0][0] = 9;
  EXPECT_EQ(source[0][0], 9);

  Matrix<double> built(std::move(target));
  EXPECT_EQ(built.data(), buffer);
  EXPECT_EQ(target.count(), 0u);

  Vector<double> v(3);
  const double* vbuffer = v.data();
  Vector<double> w;
  w = std::move(v);
  EXPECT_EQ(w.data(), vbuffer);
  EXPECT_EQ(v.data(), nullptr);
  EXPECT_EQ(v.count(), 0u);
}

TEST(MatrixStorage, SelfAssignmentChangesNothing) {
  Matrix<double> m = fromRows({{1, 2}, {3, 4}});
  const double* buffer = m.data();
  Matrix<double>& alias = m;
  m = alias;
  EXPECT_EQ(m.data(), buffer);
  EXPECT_EQ(m[1][1], 4);
  m = std::move(alias);
  EXPECT_EQ(m.data(), buffer);
  EXPECT_EQ(m.count(), 4u);
  EXPECT_EQ(m[0][1], 2);

  Vector<double> v(2);
  v[0] = 5;
  v[1] = 6;
  Vector<double>& valias = v;
  v = valias;
  v = std::move(valias);
  EXPECT_EQ(v.count(), 2u);
  EXPECT_EQ(v[1], 6);
}

TEST(MatrixStorage, AssignmentKeepsTheTargetsRowViewSetting) {
  Matrix<double> target(1, 1, false);
  target = fromRows({{1, 2}});
  EXPECT_FALSE(target.hasRowViews());
  Matrix<double> withViews;
  Matrix<double> source(1, 1, false);
  source[0][0] = 1;
  withViews = source;
  EXPECT_TRUE(withViews.hasRowViews());
  // A copy takes the source's setting.
  EXPECT_FALSE(Matrix<double>(source).hasRowViews());
}

TEST(MatrixStorage, ResizeSetsTheNewShape) {
  Matrix<double> m = fromRows({{1, 2}, {3, 4}});
  m.resize(3, 5);
  EXPECT_EQ(m.rows(), 3u);
  EXPECT_EQ(m.cols(), 5u);
  EXPECT_EQ(m.count(), 15u);
  KPX::fill(m, 2.5);
  EXPECT_EQ(m[2][4], 2.5);
  m.resize(0, 5);
  EXPECT_EQ(m.data(), nullptr);
}

}  // namespace
