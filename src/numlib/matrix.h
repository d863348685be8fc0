#pragma once
// Dense matrices: one contiguous zero-filled block plus a separate table of row
// pointers, so that m[i][j] works, a matrix passes where a routine expects
// rows of pointers (T**), and rows are exchanged by swapping pointers.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "shell/abort.h"

namespace kalios {

// The code of a missing value in every data matrix and vector, and of an
// undefined result in a resemblance matrix.
inline constexpr double kMissingValue = -999.0;
inline constexpr bool IsPresent(double x) { return x != kMissingValue; }

template <class T>
class Matrix {
 public:
  Matrix() = default;
  Matrix(int rows, int cols) { Allocate(rows, cols); }
  Matrix(int rows, int cols, T value) {
    Allocate(rows, cols);
    Fill(value);
  }
  Matrix(const Matrix& o) {
    Allocate(o.rows_, o.cols_);
    // Copy in logical row order: the source may have had rows swapped.
    for (int i = 0; i < rows_; ++i) std::copy(o.rowp_[i], o.rowp_[i] + cols_, rowp_[i]);
  }
  Matrix(Matrix&& o) noexcept { swap(o); }
  Matrix& operator=(const Matrix& o) {
    if (this != &o) {
      Matrix tmp(o);
      swap(tmp);
    }
    return *this;
  }
  Matrix& operator=(Matrix&& o) noexcept {
    swap(o);
    return *this;
  }
  ~Matrix() = default;

  void swap(Matrix& o) noexcept {
    std::swap(rows_, o.rows_);
    std::swap(cols_, o.cols_);
    std::swap(block_, o.block_);
    std::swap(rowp_, o.rowp_);
  }

  // Reallocates to the new shape, zero-filled; the old contents are dropped.
  void Resize(int rows, int cols) {
    Matrix tmp(rows, cols);
    swap(tmp);
  }
  void Release() {
    Matrix tmp;
    swap(tmp);
  }
  void Fill(T value) {
    for (int i = 0; i < rows_; ++i) std::fill(rowp_[i], rowp_[i] + cols_, value);
  }

  int rows() const { return rows_; }
  int cols() const { return cols_; }
  bool empty() const { return rows_ == 0; }

  T* operator[](int i) { return rowp_[i]; }
  const T* operator[](int i) const { return rowp_[i]; }
  T** ptr() { return rowp_.get(); }
  const T* const* ptr() const { return rowp_.get(); }
  operator T**() { return rowp_.get(); }
  operator const T* const*() const { return rowp_.get(); }

  // Exchanges two rows by exchanging their pointers.
  void SwapRows(int i, int j) { std::swap(rowp_[i], rowp_[j]); }

 private:
  void Allocate(int rows, int cols) {
    if (rows < 1) return;  // a count below 1 gives an empty matrix with no rows
    if (cols < 0) cols = 0;
    try {
      const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
      block_.reset(n ? NewBlock(n) : nullptr);
      rowp_.reset(new T*[static_cast<std::size_t>(rows)]);
    } catch (const std::bad_alloc&) {
      Abort(kAbortOutOfMemory);
    }
    rows_ = rows;
    cols_ = cols;
    for (int i = 0; i < rows; ++i) rowp_[i] = block_.get() + static_cast<std::size_t>(i) * cols;
  }

  // Plain numbers come zeroed from calloc: memory fresh from the system is
  // zero already and is not written again, so a matrix that is only partly
  // used (or not at all) costs only the pages it touches. At thousands of
  // communities each matrix is tens of megabytes, and on virtual machines a
  // first touch costs a page fault.
  static constexpr bool kPlain = std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>;
  static T* NewBlock(std::size_t n) {
    if constexpr (kPlain) {
      void* p = std::calloc(n, sizeof(T));
      if (p == nullptr) throw std::bad_alloc();
      return static_cast<T*>(p);
    } else {
      return new T[n]();
    }
  }
  struct BlockDelete {
    void operator()(T* p) const {
      if constexpr (kPlain)
        std::free(p);
      else
        delete[] p;
    }
  };

  int rows_ = 0;
  int cols_ = 0;
  std::unique_ptr<T[], BlockDelete> block_;
  std::unique_ptr<T*[]> rowp_;
};

// Vectors are std::vector; a failed allocation raises std::bad_alloc, which the
// abort handler treats as the out-of-memory abort.
template <class T>
using Vector = std::vector<T>;

// A three-dimensional array [a][b][c]: a matrices of b rows and c columns.
template <class T>
class Array3 {
 public:
  Array3() = default;
  Array3(int a, int b, int c) {
    if (a < 1) return;
    slices_.reserve(static_cast<std::size_t>(a));
    for (int i = 0; i < a; ++i) slices_.emplace_back(b, c);
  }
  int extent() const { return static_cast<int>(slices_.size()); }
  Matrix<T>& operator[](int i) { return slices_[static_cast<std::size_t>(i)]; }
  const Matrix<T>& operator[](int i) const { return slices_[static_cast<std::size_t>(i)]; }

 private:
  std::vector<Matrix<T>> slices_;
};

}  // namespace kalios
