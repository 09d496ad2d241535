#pragma once
// What a run tells about itself while it goes. The default does nothing; the
// command line's --verbose report prints one line per event on standard error.

#include "estimation/ParameterEstimator.hpp"
#include "optimisation/Annealing.hpp"
#include "pipeline/Stopwatch.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vornel {

/// Receives each warning line (without the "vornel: " prefix).
using WarningSink = std::function<void(const std::string&)>;

struct ClassSummary {
  std::vector<std::int64_t> sizes;
  std::vector<double> means;     // per class; with D features, D per class
  std::vector<double> variances; // per class; with D features, a D x D covariance per class
  int featureCount = 1;
};

class RunReport {
public:
  virtual ~RunReport() = default;
  /// A stage has finished after `time`.
  virtual void stageDone(const std::string& /*stage*/, const StageTime& /*time*/) {}
  /// A free-form line (counts, ranges, choices made).
  virtual void note(const std::string& /*line*/) {}
  /// The classes at a named point of the run.
  virtual void classes(const std::string& /*when*/, const ClassSummary& /*summary*/) {}
  virtual void parameters(const std::vector<float>& /*parameters*/, EstimateFallback /*fallback*/) {
  }
  virtual void sweep(const SweepSummary& /*summary*/) {}
  /// The seed the run's generator starts from (the --seed value or the clock's).
  virtual void seed(unsigned /*seed*/) {}
};

/// Summary of labels (one per vertex) with per-class means and variances
/// (mean vectors and covariances with several features).
ClassSummary summariseClasses(const std::vector<std::int32_t>& labels,
                              const std::vector<double>& means,
                              const std::vector<double>& variances, int featureCount = 1);

} // namespace vornel
