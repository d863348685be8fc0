#pragma once
// The evaluation of one trait subset: its similarity between OTUs, the types
// (given, or cut from a clustering for every number of types in the bounds),
// the belonging of OTUs to the types, X, T, Rao entropy or dark diversity,
// and the criterion of the search mode. One evaluator per thread: it owns
// every working matrix, allocated once.
#include <cfloat>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "numlib/matrix.h"
#include "ranking/fast_kernels.h"
#include "ranking/ranking_inputs.h"

namespace kalios {

inline constexpr double kLowestValue = -DBL_MAX;

// The strict comparison of the search: partial modes by absolute value.
inline bool RankingBetter(bool partial, double value, double best) {
  return partial ? std::abs(value) > std::abs(best) : value > best;
}

struct SubsetResult {
  double best = 0;
  int g = 0;                 // number of types of the best value; 0 when nothing was evaluated
  std::vector<std::pair<int, double>> evaluations;  // (types, value) in the order computed
  // What a derived evaluator records per evaluation (in the order of
  // `evaluations`); empty here.
  std::vector<std::vector<double>> details;
};

// 0.5 * sum |a_i / sa - b_i / sb| (squared differences with `squared`) over the
// pairs where both values are present; 0 unless both present sums are positive.
double SumAbsDeviations(int n, const double* a, const double* b, bool squared);

class SubsetEvaluator {
 public:
  explicit SubsetEvaluator(const RankingInputs& in);
  virtual ~SubsetEvaluator() = default;
  // traits: the k chosen trait numbers (from 1), ascending.
  virtual void Evaluate(const int* traits, int k, SubsetResult& out);
  // Writes the matrices of every evaluation to os (the structures file);
  // labels names the traits.
  void SaveStructures(std::ostream* os, const std::vector<std::string>* labels, int digits);

 protected:
  // Called once per examined subset, after T (and D_T) and before the types.
  virtual void SubsetReady() {}
  // The criterion for the partition in part_ into `types` types.
  virtual double Criterion(int types);
  // Whether X of this subset can take the fast route (U is then not formed).
  bool FastComposition(int types) const;
  // U and X = W U for the partition in part_; D_X from X.
  void Composition(int types, bool fast);
  void CompositionDistances(int types, bool fast);
  void OtuResemblance();
  void PrintMarkedLabels() const;
  // The partition into types (and the belonging to them) in the structures file.
  void PrintTypes(int types, bool belonging) const;
  double Corr(const double* const* A, int pa, const double* const* B, int pb, const double* const* DA,
              const double* const* DB) const;

  const RankingInputs& in_;
  bool partial_;
  bool isDissim_;
  std::vector<int> select_;   // p, 1 for a marked trait
  std::vector<int> marked_;   // the marked trait indices (from 0)
  std::vector<int> part_;     // s, the types of this evaluation
  std::vector<int> mono_;     // s, monothetic groups
  Matrix<double> S_;          // s x s OTU resemblance of the subset
  Matrix<double> Smono_;      // resemblance between monothetic groups
  Matrix<double> U_, X_, DX_, T_, DT_, R_, DR_, Sd_, DS_;
  // Every OTU its own type, fuzzy belonging on similarities, a W without
  // missing values or empty communities: X = W D^-1 S_A from the sparse W,
  // whenever S_A has no undefined pair.
  std::ostream* structures_ = nullptr;
  const std::vector<std::string>* labels_ = nullptr;
  int digits_ = 6;
  bool fastRoute_ = false;
  bool sComplete_ = false;
  SparseRows w1Sparse_;
  std::vector<double> rowScale_;
};

}  // namespace kalios
