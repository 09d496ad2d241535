#include "estimation/Matrix.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vornel {
namespace {

Matrix<float> fromRows(const std::vector<std::vector<float>>& rows) {
  Matrix<float> m(static_cast<std::uint32_t>(rows.size()),
                  static_cast<std::uint32_t>(rows.empty() ? 0 : rows[0].size()));
  for (std::uint32_t r = 0; r < m.rowCount(); ++r) {
    for (std::uint32_t k = 0; k < m.columnCount(); ++k) {
      m(r, k) = rows[r][k];
    }
  }
  return m;
}

void expectNear(const Matrix<float>& m, const std::vector<std::vector<float>>& rows,
                float tolerance) {
  ASSERT_EQ(m.rowCount(), rows.size());
  for (std::uint32_t r = 0; r < m.rowCount(); ++r) {
    ASSERT_EQ(m.columnCount(), rows[r].size());
    for (std::uint32_t k = 0; k < m.columnCount(); ++k) {
      EXPECT_NEAR(m(r, k), rows[r][k], tolerance) << "row " << r << " column " << k;
    }
  }
}

TEST(Matrix, ElementsAreStoredColumnByColumn) {
  Matrix<float> m = fromRows({{1, 2, 3}, {4, 5, 6}});
  EXPECT_EQ(m.column(0)[1], 4.0f);
  EXPECT_EQ(m.column(1)[0], 2.0f);
  EXPECT_EQ(m.column(2) - m.column(0), 4);
}

TEST(Matrix, InvertsOneByOne) {
  Matrix<float> m = fromRows({{4}});
  m.invert();
  EXPECT_EQ(m(0, 0), 0.25f);
}

TEST(Matrix, InvertsTwoByTwo) {
  Matrix<float> m = fromRows({{4, 7}, {2, 6}});
  m.invert();
  expectNear(m, {{0.6f, -0.7f}, {-0.2f, 0.4f}}, 1e-6f);
}

TEST(Matrix, InvertsThreeByThreeWithIntegerInverse) {
  Matrix<float> m = fromRows({{1, 2, 3}, {0, 1, 4}, {5, 6, 0}});
  m.invert();
  expectNear(m, {{-24, 18, 5}, {20, -15, -4}, {-5, 4, 1}}, 1e-4f);
}

TEST(Matrix, InverseTimesMatrixIsIdentityForFourByFour) {
  const std::vector<std::vector<float>> rows = {
      {5, 1, 0, 2}, {1, 4, 1, 0}, {0, 2, 6, 1}, {1, 0, 1, 3}};
  Matrix<float> inverse = fromRows(rows);
  inverse.invert();
  for (std::uint32_t i = 0; i < 4; ++i) {
    for (std::uint32_t j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (std::uint32_t k = 0; k < 4; ++k) {
        sum += double(rows[i][k]) * inverse(k, j);
      }
      EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-6) << i << "," << j;
    }
  }
}

TEST(Matrix, IdentityInvertsToItself) {
  Matrix<float> m = fromRows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
  m.invert();
  expectNear(m, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0.0f);
}

TEST(Matrix, ZeroFirstPivotIsNotRepairedByRowExchange) {
  Matrix<float> m = fromRows({{0, 1}, {1, 0}});
  m.invert();
  bool anyNonFinite = false;
  for (std::uint32_t r = 0; r < 2; ++r) {
    for (std::uint32_t k = 0; k < 2; ++k) {
      anyNonFinite = anyNonFinite || !std::isfinite(m(r, k));
    }
  }
  EXPECT_TRUE(anyNonFinite);
}

TEST(Matrix, NonSquareInversionThrowsAndLeavesMatrixUnchanged) {
  const std::vector<std::vector<float>> rows = {{1, 2}, {3, 4}, {5, 6}};
  Matrix<float> m = fromRows(rows);
  try {
    m.invert();
    FAIL() << "no EError thrown";
  } catch (const EError& error) {
    EXPECT_EQ(error.message,
              std::string("Internal Error in Matrix<T>::invert(): Matrix is not square!!!\n"));
  }
  expectNear(m, rows, 0.0f);
}

TEST(Matrix, NoColumnsIsLeftAloneWithoutError) {
  Matrix<float> m(5, 0);
  EXPECT_NO_THROW(m.invert());
  EXPECT_EQ(m.rowCount(), 5u);
  EXPECT_EQ(m.columnCount(), 0u);
}

TEST(Matrix, PseudoInverseTimesMatrixIsIdentity) {
  const Matrix<float> a = fromRows({{1, 2, 0}, {0, 1, 1}, {1, 0, 3}, {2, 1, 1}, {-1, 1, 2}});
  const Matrix<float> p = a.pseudoInverse();
  ASSERT_EQ(p.rowCount(), 3u);
  ASSERT_EQ(p.columnCount(), 5u);
  for (std::uint32_t i = 0; i < 3; ++i) {
    for (std::uint32_t j = 0; j < 3; ++j) {
      double sum = 0.0;
      for (std::uint32_t t = 0; t < 5; ++t) {
        sum += double(p(i, t)) * a(t, j);
      }
      EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-5) << i << "," << j;
    }
  }
}

TEST(Matrix, MultipliesTwoByThreeWithVector) {
  const Matrix<float> a = fromRows({{1, 2, 3}, {4, 5, 6}});
  ColumnVector<float> v(3);
  v[0] = 1.0f;
  v[1] = 0.5f;
  v[2] = -2.0f;
  const ColumnVector<float> out = a.multiply(v);
  ASSERT_EQ(out.length(), 2u);
  EXPECT_EQ(out[0], -4.0f);
  EXPECT_EQ(out[1], -5.5f);
}

TEST(ColumnVector, CopiesAreIndependentAndZeroClears) {
  ColumnVector<float> original(2);
  original[0] = 3.0f;
  original[1] = 4.0f;
  ColumnVector<float> copy = original;
  copy.zero();
  EXPECT_EQ(original[0], 3.0f);
  EXPECT_EQ(copy[0], 0.0f);
  EXPECT_EQ(copy[1], 0.0f);
  copy = original;
  EXPECT_EQ(copy[1], 4.0f);
}

} // namespace
} // namespace vornel
