#include "numeric/pca.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::Vector;
using numeric_test::fromRows;
using numeric_test::identity;
using numeric_test::maxDifference;
using numeric_test::randomMatrix;

namespace {

const double kRoot2 = std::sqrt(2.0);

TEST(Whiten, TwoUnitPatches) {
  // C = diag(0.5, 0.5): equal eigenvalues, so index 0 is chosen first.
  IcaLearner learner(0.0001, 0, 2);
  ASSERT_EQ(whiten(learner, fromRows({{1, 0}, {0, 1}})), 0);
  const Matrix<double>& v = learner.whitening;
  ASSERT_EQ(v.rows(), 2u);
  ASSERT_EQ(v.cols(), 2u);
  for (std::uint32_t i = 0; i < 2; ++i) {
    EXPECT_NEAR(KPX::squaredNorm(v[i], 2), 2.0, 1e-14);
  }
  EXPECT_NEAR(std::fabs(v[0][0]), kRoot2, 1e-14);
  EXPECT_NEAR(v[0][1], 0.0, 1e-14);
  // Whitened data has the identity covariance.
  const Matrix<double> c = KPX::divide(KPX::multiplyAtB(learner.whitened, learner.whitened), 2);
  EXPECT_LT(maxDifference(c, identity(2)), 1e-14);
}

TEST(Whiten, LargestEigenvalueIsKept) {
  IcaLearner learner(0.0001, 0, 1);
  ASSERT_EQ(whiten(learner, fromRows({{2, 0}, {0, 1}})), 0);
  ASSERT_EQ(learner.whitening.rows(), 1u);
  ASSERT_EQ(learner.whitening.cols(), 2u);
  const double sign = learner.whitening[0][0] > 0 ? 1.0 : -1.0;
  EXPECT_NEAR(learner.whitening[0][0], sign / kRoot2, 1e-15);
  EXPECT_EQ(learner.whitening[0][1], 0.0);
  ASSERT_EQ(learner.dewhitening.rows(), 2u);
  ASSERT_EQ(learner.dewhitening.cols(), 1u);
  EXPECT_NEAR(learner.dewhitening[0][0], sign * kRoot2, 1e-15);
  EXPECT_EQ(learner.dewhitening[1][0], 0.0);
  ASSERT_EQ(learner.whitened.rows(), 2u);
  ASSERT_EQ(learner.whitened.cols(), 1u);
  EXPECT_NEAR(learner.whitened[0][0], sign * kRoot2, 1e-15);
  EXPECT_EQ(learner.whitened[1][0], 0.0);
}

TEST(Whiten, NoComponents) {
  IcaLearner learner(0.0001, 0, 0);
  ASSERT_EQ(whiten(learner, randomMatrix(5, 3, 1)), 0);
  EXPECT_EQ(learner.whitening.rows(), 0u);
  EXPECT_EQ(learner.whitening.cols(), 3u);
  EXPECT_EQ(learner.dewhitening.rows(), 3u);
  EXPECT_EQ(learner.dewhitening.cols(), 0u);
  EXPECT_EQ(learner.whitened.rows(), 5u);
  EXPECT_EQ(learner.whitened.cols(), 0u);
  EXPECT_EQ(learner.whitened.count(), 0u);
}

TEST(Whiten, NoPatchesIsADivisionByZero) {
  IcaLearner learner(0.0001, 0, 2);
  EXPECT_EQ(whiten(learner, Matrix<double>(0, 4)), 13);
  EXPECT_EQ(prepareLearning(learner, Matrix<double>(0, 4)), 13);
  EXPECT_EQ(learner.unmixing.rows(), 0u);
}

TEST(Whiten, AllZeroCovariance) {
  IcaLearner learner(0.0001, 0, 3);
  Matrix<double> flat(10, 4);
  KPX::fill(flat, 0.0);
  ASSERT_EQ(whiten(learner, flat), 0);
  for (std::uint32_t k = 0; k < learner.whitening.count(); ++k) {
    EXPECT_EQ(learner.whitening.data()[k], 0.0);
  }
  for (std::uint32_t k = 0; k < learner.dewhitening.count(); ++k) {
    EXPECT_EQ(learner.dewhitening.data()[k], 0.0);
  }
  for (std::uint32_t k = 0; k < learner.whitened.count(); ++k) {
    EXPECT_EQ(learner.whitened.data()[k], 0.0);
  }
}

TEST(Whiten, RandomPatchesAreDecorrelated) {
  // Correlated columns: mixtures of independent ones.
  const Matrix<double> sources = randomMatrix(2000, 6, 7);
  const Matrix<double> x = KPX::multiply(sources, randomMatrix(6, 6, 8));
  IcaLearner learner(0.0001, 0, 4);
  ASSERT_EQ(whiten(learner, x), 0);
  const Matrix<double> c =
      KPX::divide(KPX::multiplyAtB(learner.whitened, learner.whitened), x.rows());
  EXPECT_LT(maxDifference(c, identity(4)), 1e-12);
  // whitening * dewhitening = I on the kept components.
  EXPECT_LT(maxDifference(KPX::multiply(learner.whitening, learner.dewhitening), identity(4)),
            1e-12);
}

TEST(SelectComponents, OrdersByMagnitudeLowestIndexFirst) {
  Vector<double> lambda(4);
  lambda[0] = 1;
  lambda[1] = -4;  // used by its magnitude
  lambda[2] = 4;
  lambda[3] = 0;
  const Matrix<double> e = fromRows({{1, 2, 3, 4}, {5, 6, 7, 8}});
  Matrix<double> inv, root, ek;
  ASSERT_EQ(selectComponents(lambda, e, 4, inv, root, ek), 0);
  // Chosen: 1 (first of the two magnitudes 4), 2, 0, then 3 (magnitude 0,
  // and with all remaining 0 the index is 0).
  EXPECT_EQ(ek[0][0], 2);
  EXPECT_EQ(ek[0][1], 3);
  EXPECT_EQ(ek[0][2], 1);
  EXPECT_EQ(ek[0][3], 1);
  EXPECT_EQ(ek[1][1], 7);
  EXPECT_EQ(root[0][0], 2);
  EXPECT_EQ(inv[1][1], 0.5);
  EXPECT_EQ(root[2][2], 1);
  EXPECT_EQ(root[3][3], 0);
  EXPECT_EQ(inv[3][3], 0);
  EXPECT_EQ(root[0][1], 0);
  for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(lambda[i], 0);
}

TEST(PrepareLearning, StartsFromTheIdentity) {
  IcaLearner learner(0.0001, 5, 3);
  ASSERT_EQ(prepareLearning(learner, randomMatrix(50, 4, 3)), 0);
  EXPECT_EQ(maxDifference(learner.unmixing, identity(3)), 0.0);
  EXPECT_EQ(learner.conversionCondition, 0.0001);
  EXPECT_EQ(learner.maxIterations, 5u);
}

}  // namespace
