#pragma once
// One tolerance rule for computed doubles: |a - b| <= atol + rtol * max(|a|, |b|).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "numlib/matrix.h"

namespace kalios::test {

inline ::testing::AssertionResult Close(double a, double b, double rtol = 1e-9, double atol = 1e-12) {
  if (std::isnan(a) || std::isnan(b)) {
    return ::testing::AssertionFailure() << a << " vs " << b << " (NaN)";
  }
  double diff = std::fabs(a - b);
  double scale = std::fmax(std::fabs(a), std::fabs(b));
  if (diff <= atol + rtol * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a << " vs " << b << " differ by " << diff
                                       << " (rtol " << rtol << ", atol " << atol << ")";
}

#define EXPECT_CLOSE(a, b) EXPECT_TRUE(::kalios::test::Close((a), (b)))
#define EXPECT_CLOSE_TOL(a, b, rtol, atol) EXPECT_TRUE(::kalios::test::Close((a), (b), (rtol), (atol)))

// Path of a reference data set file, e.g. FixturePath("small/expected.json").
inline std::string FixturePath(const std::string& rel) { return std::string(KALIOS_FIXTURES_DIR) + "/" + rel; }

inline nlohmann::json LoadLocalJson(const std::string& rel) {
  std::ifstream f(FixturePath(rel));
  if (!f) throw std::runtime_error("cannot open fixture " + rel);
  return nlohmann::json::parse(f);
}

inline nlohmann::json LoadJson(const std::string& rel) {
  std::ifstream f(FixturePath(rel));
  if (!f) throw std::runtime_error("cannot open fixture " + rel);
  return nlohmann::json::parse(f);
}

// A JSON array of rows as a matrix.
inline Matrix<double> JsonMatrix(const nlohmann::json& rows) {
  int r = static_cast<int>(rows.size());
  int c = r ? static_cast<int>(rows[0].size()) : 0;
  Matrix<double> m(r, c);
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) m[i][j] = rows[static_cast<size_t>(i)][static_cast<size_t>(j)].get<double>();
  return m;
}

// A small matrix written out row by row: FromRows({{1, 2}, {3, 4}}).
inline Matrix<double> FromRows(const std::vector<std::vector<double>>& rows) {
  Matrix<double> m(static_cast<int>(rows.size()), rows.empty() ? 0 : static_cast<int>(rows[0].size()));
  for (int i = 0; i < m.rows(); ++i)
    for (int j = 0; j < m.cols(); ++j) m[i][j] = rows[static_cast<size_t>(i)][static_cast<size_t>(j)];
  return m;
}

// Distances between points on a line.
inline Matrix<double> LineDistances(const std::vector<double>& x) {
  const int n = static_cast<int>(x.size());
  Matrix<double> d(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) d[i][j] = std::fabs(x[static_cast<size_t>(i)] - x[static_cast<size_t>(j)]);
  return d;
}

inline Matrix<double> Identity(int n) {
  Matrix<double> m(n, n);
  for (int i = 0; i < n; ++i) m[i][i] = 1.0;
  return m;
}

inline Matrix<double> Product(const Matrix<double>& a, const Matrix<double>& b) {
  Matrix<double> c(a.rows(), b.cols());
  for (int i = 0; i < a.rows(); ++i)
    for (int j = 0; j < b.cols(); ++j)
      for (int k = 0; k < a.cols(); ++k) c[i][j] += a[i][k] * b[k][j];
  return c;
}

inline Matrix<double> Transposed(const Matrix<double>& a) {
  Matrix<double> t(a.cols(), a.rows());
  for (int i = 0; i < a.rows(); ++i)
    for (int j = 0; j < a.cols(); ++j) t[j][i] = a[i][j];
  return t;
}

inline bool AllFinite(const Matrix<double>& m) {
  for (int i = 0; i < m.rows(); ++i)
    for (int j = 0; j < m.cols(); ++j)
      if (!std::isfinite(m[i][j])) return false;
  return true;
}

// A JSON array of numbers compared element-wise with the tolerance rule.
inline ::testing::AssertionResult VectorClose(const std::vector<double>& got, const nlohmann::json& want) {
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << "size " << got.size() << " vs " << want.size();
  for (size_t i = 0; i < got.size(); ++i) {
    auto r = Close(got[i], want[i].get<double>());
    if (!r) return ::testing::AssertionFailure() << "at " << i << ": " << r.message();
  }
  return ::testing::AssertionSuccess();
}

// Compares every cell of two matrices with the tolerance rule.
inline ::testing::AssertionResult MatricesClose(const Matrix<double>& a, const Matrix<double>& b,
                                                double rtol = 1e-9, double atol = 1e-12) {
  if (a.rows() != b.rows() || a.cols() != b.cols()) {
    return ::testing::AssertionFailure() << "shape " << a.rows() << "x" << a.cols() << " vs " << b.rows()
                                         << "x" << b.cols();
  }
  for (int i = 0; i < a.rows(); ++i)
    for (int j = 0; j < a.cols(); ++j) {
      auto r = Close(a[i][j], b[i][j], rtol, atol);
      if (!r) return ::testing::AssertionFailure() << "at [" << i << "][" << j << "]: " << r.message();
    }
  return ::testing::AssertionSuccess();
}

// The first `rows` lines of a raw fixture file made only of numbers (labels
// lines are skipped), each split on blanks and tabs.
inline Matrix<double> ReadFixtureNumbers(const std::string& rel, int rows, int cols) {
  std::ifstream f(FixturePath(rel));
  if (!f) throw std::runtime_error("cannot open fixture " + rel);
  Matrix<double> m(rows, cols);
  std::string line;
  int i = 0;
  while (i < rows && std::getline(f, line)) {
    std::istringstream ls(line);
    std::vector<double> v;
    std::string tok;
    bool numeric = true;
    while (ls >> tok) {
      char* end = nullptr;
      double x = std::strtod(tok.c_str(), &end);
      if (*end != '\0') { numeric = false; break; }
      v.push_back(x);
    }
    if (!numeric || v.empty()) continue;
    if (static_cast<int>(v.size()) != cols) throw std::runtime_error("bad row in fixture " + rel);
    for (int j = 0; j < cols; ++j) m[i][j] = v[static_cast<size_t>(j)];
    ++i;
  }
  if (i != rows) throw std::runtime_error("too few rows in fixture " + rel);
  return m;
}

}  // namespace kalios::test
