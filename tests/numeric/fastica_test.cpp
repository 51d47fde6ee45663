#include "numeric/fastica.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "numeric/eigen.h"
#include "numeric/inverse.h"
#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric/svd.h"
#include "numeric_helpers.h"
#include "support/test_support.h"

using KPX::Matrix;
using KPX::Vector;
using numeric_test::fromRows;
using numeric_test::identity;
using numeric_test::maxDifference;
using numeric_test::randomMatrix;
using testing_support::TraceCapture;

namespace {

// W (W^T W)^(-1/2) by way of the decomposition W = U S V^T: it is U V^T.
Matrix<double> polarFactor(const Matrix<double>& w) {
  Matrix<double> u(w);
  Vector<double> s;
  Matrix<double> v;
  KPX::svdDecompose(u, s, v);
  return KPX::multiplyABt(u, v);
}

// One step written out plainly, with sech^2 from cosh as the definition has it.
Matrix<double> referenceStep(const Matrix<double>& z, const Matrix<double>& w) {
  const std::uint32_t n = z.rows();
  const std::uint32_t k = w.rows();
  Matrix<double> next(k, k);
  for (std::uint32_t i = 0; i < k; ++i) {
    double derivative = 0.0;
    std::vector<double> u(k, 0.0);
    for (std::uint32_t r = 0; r < n; ++r) {
      double y = 0.0;
      for (std::uint32_t j = 0; j < k; ++j) y += z[r][j] * w[i][j];
      derivative += 1.0 / (std::cosh(y) * std::cosh(y));
      for (std::uint32_t j = 0; j < k; ++j) u[j] += std::tanh(y) * z[r][j];
    }
    for (std::uint32_t j = 0; j < k; ++j) next[i][j] = u[j] / n - derivative / n * w[i][j];
  }
  return polarFactor(next);
}

TEST(Decorrelate, OrthogonalAndScaledIdentities) {
  Matrix<double> w = identity(3);
  ASSERT_EQ(decorrelate(w), 0);
  EXPECT_EQ(maxDifference(w, identity(3)), 0.0);
  w = fromRows({{2, 0}, {0, 2}});
  ASSERT_EQ(decorrelate(w), status::Success);
  EXPECT_EQ(maxDifference(w, identity(2)), 0.0);
  w = fromRows({{2, 0}, {0, 3}});
  ASSERT_EQ(decorrelate(w), status::Success);
  EXPECT_LT(maxDifference(w, identity(2)), 1e-15);
  w = fromRows({{-1, 0}, {0, -1}});
  ASSERT_EQ(decorrelate(w), status::Success);
  EXPECT_EQ(maxDifference(w, fromRows({{-1, 0}, {0, -1}})), 0.0);
}

TEST(Decorrelate, GivesTheNearestOrthogonalMatrix) {
  const Matrix<double> original = randomMatrix(6, 6, 21);
  Matrix<double> w(original);
  ASSERT_EQ(decorrelate(w), status::Success);
  EXPECT_LT(maxDifference(KPX::multiplyABt(w, w), identity(6)), 1e-12);
  EXPECT_LT(maxDifference(w, polarFactor(original)), 1e-12);
}

TEST(Decorrelate, EigenvectorsWithAZeroPivot) {
  // W^T W has eigenvectors whose first element is exactly 0, where elimination
  // without pivoting cannot invert them.
  const Matrix<double> original = fromRows({{-1, 1, -1}, {-1, -1, -1}, {1, 0, 0}});
  Matrix<double> w(original);
  ASSERT_EQ(decorrelate(w), status::Success);
  EXPECT_LT(maxDifference(KPX::multiplyABt(w, w), identity(3)), 1e-12);
  EXPECT_LT(maxDifference(w, polarFactor(original)), 1e-12);
}

TEST(Decorrelate, EmptyMatrixIsLeftAlone) {
  Matrix<double> w(0, 3);
  EXPECT_EQ(decorrelate(w), 0);
  EXPECT_EQ(w.rows(), 0u);
  EXPECT_EQ(w.cols(), 3u);
}

TEST(Iterate, MatchesAPlainStepWithCosh) {
  const Matrix<double> x = KPX::multiply(randomMatrix(400, 4, 31), randomMatrix(4, 4, 32));
  IcaLearner learner(1e-12, 10, 4);
  ASSERT_EQ(prepareLearning(learner, x), 0);
  learner.unmixing = polarFactor(randomMatrix(4, 4, 33));
  const Matrix<double> expected = referenceStep(learner.whitened, learner.unmixing);
  ASSERT_EQ(iterate(learner), 0);
  EXPECT_LT(maxDifference(learner.unmixing, expected), 1e-12);
}

// The first steps run the double-precision pass; once a step changed W by
// less than 0.01 the single-precision one, which agrees with it to single
// precision but not to the bit.
TEST(Iterate, SinglePrecisionOnlyOnceTheChangeIsSmall) {
  const Matrix<double> x = KPX::multiply(randomMatrix(400, 4, 41), randomMatrix(4, 4, 42));
  const Matrix<double> w = polarFactor(randomMatrix(4, 4, 43));
  struct Case {
    double lastChange;
    bool single;
  };
  for (const Case& c : {Case{1.0, false}, Case{0.0101, false}, Case{0.0099, true}}) {
    IcaLearner learner(1e-12, 10, 4);
    ASSERT_EQ(prepareLearning(learner, x), 0);
    learner.unmixing = w;
    const Matrix<double> expected = referenceStep(learner.whitened, learner.unmixing);
    learner.lastChange = c.lastChange;
    ASSERT_EQ(iterate(learner), 0);
    const double difference = maxDifference(learner.unmixing, expected);
    if (c.single) {
      EXPECT_GT(difference, 1e-12) << "after a change of " << c.lastChange;
      EXPECT_LT(difference, 1e-5) << "after a change of " << c.lastChange;
    } else {
      EXPECT_LT(difference, 1e-12) << "after a change of " << c.lastChange;
    }
    EXPECT_GT(learner.lastChange, 0.0);
    EXPECT_LT(learner.lastChange, 1.0);
  }
}

TEST(Iterate, FixedPointConvergesOnlyForAPositiveCondition) {
  // Flat patches: Z = 0, so the step gives -I, which decorrelation keeps, and
  // the change measure is 0.
  Matrix<double> flat(20, 3);
  KPX::fill(flat, 0.0);
  IcaLearner learner(1e-4, 10, 3);
  ASSERT_EQ(prepareLearning(learner, flat), 0);
  EXPECT_EQ(iterate(learner), 1);
  EXPECT_EQ(maxDifference(learner.unmixing, fromRows({{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}})), 0.0);
  learner.conversionCondition = 0.0;
  EXPECT_EQ(iterate(learner), 0);
  learner.conversionCondition = -1.0;
  EXPECT_EQ(iterate(learner), 0);
}

TEST(Iterate, NoPatchesIsReportedAndLeavesW) {
  IcaLearner learner(1e-4, 10, 2);
  learner.unmixing = identity(2);
  learner.whitened.resize(0, 2);
  EXPECT_EQ(iterate(learner), 7);
  EXPECT_EQ(maxDifference(learner.unmixing, identity(2)), 0.0);
}

TEST(ExtractBases, NeedsAnUnmixingMatrix) {
  IcaLearner learner(1e-4, 10, 0);
  Matrix<double> bases = fromRows({{5}});
  EXPECT_EQ(extractBases(learner, bases), 23);
  EXPECT_EQ(bases[0][0], 5);
}

TEST(LearnBases, NoIterationsGivesTheScaledPrincipalComponents) {
  const Matrix<double> x = KPX::multiply(randomMatrix(300, 5, 41), randomMatrix(5, 5, 42));
  Matrix<double> bases;
  TraceCapture trace;
  ASSERT_EQ(learnBases(1e-4, 0, 3, x, bases), 0);
  EXPECT_EQ(trace.text(), "1\n");
  IcaLearner learner(1e-4, 0, 3);
  ASSERT_EQ(whiten(learner, x), 0);
  EXPECT_EQ(maxDifference(bases, KPX::transpose(learner.dewhitening)), 0.0);
  // Row i is sqrt(l_i) times eigenvector i, largest eigenvalue first.
  Matrix<double> covariance = KPX::divide(KPX::multiplyAtB(x, x), x.rows());
  Vector<double> lambda;
  Matrix<double> e(covariance);
  KPX::eigenSymmetric(e, lambda);
  std::vector<double> sorted(lambda.data(), lambda.data() + lambda.count());
  std::sort(sorted.rbegin(), sorted.rend());
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(KPX::squaredNorm(bases[i], 5), sorted[i], 1e-12 * sorted[0]);
  }
}

TEST(LearnBases, FlatImageConvergesToZeroBases) {
  Matrix<double> flat(64, 12);
  KPX::fill(flat, 0.0);
  Matrix<double> bases;
  TraceCapture trace;
  ASSERT_EQ(learnBases(1e-4, 50, 6, flat, bases), 0);
  EXPECT_EQ(trace.text(), ".1\n");
  ASSERT_EQ(bases.rows(), 6u);
  ASSERT_EQ(bases.cols(), 12u);
  for (std::uint32_t k = 0; k < bases.count(); ++k) EXPECT_EQ(bases.data()[k], 0.0);
}

TEST(LearnBases, RunsEveryIterationWithoutConvergence) {
  Matrix<double> flat(8, 4);
  KPX::fill(flat, 0.0);
  Matrix<double> bases;
  TraceCapture trace;
  ASSERT_EQ(learnBases(0.0, 5, 2, flat, bases), 0);
  EXPECT_EQ(trace.text(), ".....6\n");
}

TEST(LearnBases, FailuresAndTheirStatus) {
  Matrix<double> bases = fromRows({{5}});
  {
    TraceCapture trace;
    EXPECT_EQ(learnBases(1e-4, 3, 2, Matrix<double>(0, 4), bases), 13);
    EXPECT_EQ(trace.text(), "");
  }
  {
    // k = 0: nothing to learn, so nothing to take out.
    TraceCapture trace;
    EXPECT_EQ(learnBases(1e-4, 3, 0, randomMatrix(10, 4, 1), bases), 23);
    EXPECT_EQ(trace.text(), ".1\n");
  }
  EXPECT_EQ(bases[0][0], 5);
}

// Two uniform sources and one Laplacian source, mixed by a fixed matrix: the
// learned unmixing recovers each source up to sign and order.
TEST(LearnBases, SeparatesIndependentSources) {
  const std::uint32_t n = 5000;
  std::mt19937 random(2024);
  std::uniform_real_distribution<double> uniform(-std::sqrt(3.0), std::sqrt(3.0));
  std::exponential_distribution<double> exponential(std::sqrt(2.0));
  std::bernoulli_distribution sign(0.5);
  Matrix<double> sources(n, 3);
  for (std::uint32_t r = 0; r < n; ++r) {
    sources[r][0] = uniform(random);
    sources[r][1] = uniform(random);
    sources[r][2] = (sign(random) ? 1.0 : -1.0) * exponential(random);
  }
  const Matrix<double> mixing = fromRows({{1.0, 0.6, -0.4}, {0.3, 1.0, 0.5}, {-0.7, 0.2, 1.0}});
  const Matrix<double> x = KPX::multiplyABt(sources, mixing);

  Matrix<double> bases;
  TraceCapture trace;
  ASSERT_EQ(learnBases(1e-9, 200, 3, x, bases), 0);
  const std::string text = trace.text();
  const std::size_t dots = static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
  EXPECT_LT(dots, 200u) << "no convergence: " << text;
  EXPECT_EQ(text.substr(dots), std::to_string(dots) + "\n");

  // The bases are the estimated mixing vectors: X = S' B, so S' = X B^-1.
  const Matrix<double> recovered = KPX::multiply(x, KPX::inverse(bases));
  for (std::uint32_t i = 0; i < 3; ++i) {
    double best = 0.0;
    for (std::uint32_t j = 0; j < 3; ++j) {
      double sxy = 0, sxx = 0, syy = 0;
      for (std::uint32_t r = 0; r < n; ++r) {
        sxy += sources[r][i] * recovered[r][j];
        sxx += sources[r][i] * sources[r][i];
        syy += recovered[r][j] * recovered[r][j];
      }
      best = std::max(best, std::fabs(sxy) / std::sqrt(sxx * syy));
    }
    EXPECT_GT(best, 0.99) << "source " << i;
  }

  // W itself stays orthogonal.
  IcaLearner learner(1e-9, 200, 3);
  ASSERT_EQ(prepareLearning(learner, x), 0);
  for (int i = 0; i < 20; ++i) ASSERT_NE(iterate(learner), status::NoMemory);
  EXPECT_LT(maxDifference(KPX::multiplyABt(learner.unmixing, learner.unmixing), identity(3)),
            1e-12);
}

}  // namespace
