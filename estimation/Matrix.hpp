#pragma once
// A small dense linear-algebra kit for the least-squares estimate: a
// column-major matrix with the normal-equations pseudo-inverse, in-place
// inversion by Crout decomposition (no pivoting) and the product with a vector.
//
// Every inner product accumulates in double, starting from 0 and adding its
// terms in increasing index order; each finished element is rounded to T when
// it is stored. The results are meant to be reproducible bit for bit, so the
// loop orders below must not be changed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// The error a Matrix throws (only for inverting a non-square matrix).
class EError {
public:
  explicit EError(const char* text) : message(text) {}
  std::string message;
};

/// A vector of `length` entries with value semantics.
template <typename T> class ColumnVector {
public:
  ColumnVector() = default;
  explicit ColumnVector(std::uint32_t length) : data(length) {}
  ColumnVector(const ColumnVector&) = default;
  ColumnVector(ColumnVector&&) noexcept = default;
  ColumnVector& operator=(const ColumnVector&) = default;
  ColumnVector& operator=(ColumnVector&&) noexcept = default;
  virtual ~ColumnVector() = default;

  std::uint32_t length() const { return static_cast<std::uint32_t>(data.size()); }
  T& operator[](std::size_t i) { return data[i]; }
  const T& operator[](std::size_t i) const { return data[i]; }

  /// Sets every entry to 0.
  virtual void zero() { std::fill(data.begin(), data.end(), T(0)); }

  std::vector<T> data;
};

/// A rowCount x columnCount matrix; element (r, k) lives at k * rowCount + r.
template <typename T> class Matrix {
public:
  Matrix(std::uint32_t rows, std::uint32_t cols)
      : rowCount_(rows), columnCount_(cols), elements_(std::size_t(rows) * cols) {}
  Matrix(const Matrix&) = default;
  Matrix(Matrix&&) noexcept = default;
  Matrix& operator=(const Matrix&) = default;
  Matrix& operator=(Matrix&&) noexcept = default;
  virtual ~Matrix() = default;

  std::uint32_t rowCount() const { return rowCount_; }
  std::uint32_t columnCount() const { return columnCount_; }

  T& operator()(std::uint32_t r, std::uint32_t k) {
    return elements_[std::size_t(k) * rowCount_ + r];
  }
  const T& operator()(std::uint32_t r, std::uint32_t k) const {
    return elements_[std::size_t(k) * rowCount_ + r];
  }

  /// First element of column k; the column's rowCount elements follow it.
  T* column(std::uint32_t k) { return elements_.data() + std::size_t(k) * rowCount_; }
  const T* column(std::uint32_t k) const { return elements_.data() + std::size_t(k) * rowCount_; }

  /// (A^T A)^-1 A^T for this matrix A: columnCount rows, rowCount columns.
  Matrix pseudoInverse() const;

  /// Replaces the matrix by its inverse. Throws EError (and leaves the matrix
  /// unchanged) when it has columns but is not square. A zero pivot is not
  /// detected: the result then holds infinities or NaNs.
  void invert();

  /// The product A * v; v needs at least columnCount entries.
  ColumnVector<T> multiply(const ColumnVector<T>& v) const;

private:
  static T store(double value) { return static_cast<T>(value); }
  // u(i, k) of the unit upper triangle sharing the storage with L.
  double unitUpper(std::uint32_t i, std::uint32_t k) const {
    return k == i ? 1.0 : double((*this)(i, k));
  }

  void decompose();
  void invertLower();
  void invertUpper();
  void multiplyTriangles();

  std::uint32_t rowCount_;
  std::uint32_t columnCount_;
  std::vector<T> elements_;
};

template <typename T> Matrix<T> Matrix<T>::pseudoInverse() const {
  const Matrix& a = *this;
  const std::uint32_t m = rowCount_;
  const std::uint32_t n = columnCount_;
  Matrix normal(n, n);
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = 0; j < n; ++j) {
      double sum = 0.0;
      for (std::uint32_t t = 0; t < m; ++t) {
        sum += double(a(t, i)) * double(a(t, j));
      }
      normal(i, j) = store(sum);
    }
  }
  normal.invert();
  Matrix result(n, m);
  for (std::uint32_t j = 0; j < n; ++j) {
    for (std::uint32_t k = 0; k < m; ++k) {
      double sum = 0.0;
      for (std::uint32_t t = 0; t < n; ++t) {
        sum += double(normal(j, t)) * double(a(k, t));
      }
      result(j, k) = store(sum);
    }
  }
  return result;
}

template <typename T> void Matrix<T>::invert() {
  const std::uint32_t n = columnCount_;
  if (n == 0) {
    return;
  }
  if (n != rowCount_) {
    throw EError("Internal Error in Matrix<T>::invert(): Matrix is not square!!!\n");
  }
  Matrix& e = *this;
  if (n == 1) {
    e(0, 0) = store(1.0 / double(e(0, 0)));
    return;
  }
  decompose();
  invertLower();
  invertUpper();
  multiplyTriangles();
}

// Crout: L on and below the diagonal, U above it with an implicit unit diagonal.
template <typename T> void Matrix<T>::decompose() {
  Matrix& e = *this;
  const std::uint32_t n = columnCount_;
  for (std::uint32_t k = 1; k < n; ++k) {
    e(0, k) = store(double(e(0, k)) / double(e(0, 0)));
  }
  for (std::uint32_t i = 1; i < n; ++i) {
    for (std::uint32_t j = i; j < n; ++j) {
      double sum = 0.0;
      for (std::uint32_t k = 0; k < i; ++k) {
        sum += double(e(j, k)) * double(e(k, i));
      }
      e(j, i) = store(double(e(j, i)) - sum);
    }
    if (i == n - 1) {
      continue;
    }
    for (std::uint32_t j = i + 1; j < n; ++j) {
      double sum = 0.0;
      for (std::uint32_t k = 0; k < i; ++k) {
        sum += double(e(i, k)) * double(e(k, j));
      }
      e(i, j) = store((double(e(i, j)) - sum) / double(e(i, i)));
    }
  }
}

template <typename T> void Matrix<T>::invertLower() {
  Matrix& e = *this;
  const std::uint32_t n = columnCount_;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i; j < n; ++j) {
      double x = 1.0;
      if (j != i) {
        double sum = 0.0;
        for (std::uint32_t k = i; k < j; ++k) {
          sum += double(e(j, k)) * double(e(k, i));
        }
        x = -sum;
      }
      e(j, i) = store(x / double(e(j, j)));
    }
  }
}

template <typename T> void Matrix<T>::invertUpper() {
  Matrix& e = *this;
  const std::uint32_t n = columnCount_;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n; ++j) {
      double sum = 0.0;
      for (std::uint32_t k = i; k < j; ++k) {
        sum += double(e(k, j)) * unitUpper(i, k);
      }
      e(i, j) = store(-sum);
    }
  }
}

// U^-1 * L^-1, column by column, into the same storage.
template <typename T> void Matrix<T>::multiplyTriangles() {
  Matrix& e = *this;
  const std::uint32_t n = columnCount_;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = 0; j < n; ++j) {
      double sum = 0.0;
      for (std::uint32_t k = std::max(i, j); k < n; ++k) {
        sum += unitUpper(j, k) * double(e(k, i));
      }
      e(j, i) = store(sum);
    }
  }
}

template <typename T> ColumnVector<T> Matrix<T>::multiply(const ColumnVector<T>& v) const {
  const Matrix& a = *this;
  ColumnVector<T> out(rowCount_);
  for (std::uint32_t i = 0; i < rowCount_; ++i) {
    double sum = 0.0;
    for (std::uint32_t k = 0; k < columnCount_; ++k) {
      sum += double(a(i, k)) * double(v[k]);
    }
    out[i] = store(sum);
  }
  return out;
}

} // namespace vornel
