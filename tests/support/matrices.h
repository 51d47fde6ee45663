// Building small matrices and comparing results bit for bit, for the tests
// of every layer that computes on matrices.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "numeric/matrix.h"

namespace testing_support {

// A rows x cols matrix of values given row after row.
inline KPX::Matrix<double> matrixOf(std::uint32_t rows, std::uint32_t cols,
                                    const std::vector<double>& values) {
  KPX::Matrix<double> m(rows, cols);
  for (std::uint32_t k = 0; k < rows * cols; ++k) m.data()[k] = values[k];
  return m;
}

// A matrix of the rows given.
inline KPX::Matrix<double> fromRows(std::initializer_list<std::initializer_list<double>> rows) {
  const auto r = static_cast<std::uint32_t>(rows.size());
  const auto c = r == 0 ? 0u : static_cast<std::uint32_t>(rows.begin()->size());
  KPX::Matrix<double> m(r, c);
  std::uint32_t i = 0;
  for (const auto& row : rows) {
    std::uint32_t j = 0;
    for (double v : row) m[i][j++] = v;
    ++i;
  }
  return m;
}

// Row r of m.
inline std::vector<double> rowOf(const KPX::Matrix<double>& m, std::uint32_t r) {
  return std::vector<double>(m[r], m[r] + m.cols());
}

// Expects the same shape and every element the same to the bit (a zero's
// sign included); what names the comparison in a failure.
inline void expectBitEqual(const KPX::Matrix<double>& expected, const KPX::Matrix<double>& actual,
                           const std::string& what = "") {
  ASSERT_EQ(expected.rows(), actual.rows()) << what;
  ASSERT_EQ(expected.cols(), actual.cols()) << what;
  for (std::uint32_t i = 0; i < expected.rows(); ++i)
    for (std::uint32_t j = 0; j < expected.cols(); ++j)
      ASSERT_EQ(std::memcmp(&expected[i][j], &actual[i][j], sizeof(double)), 0)
          << what << " (" << i << ", " << j << "): " << expected[i][j] << " vs " << actual[i][j];
}

}  // namespace testing_support
