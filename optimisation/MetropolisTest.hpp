#pragma once
// The Metropolis test of one sweep, decided without evaluating exp wherever the
// outcome is already certain. Every decision equals that of the plain test
// (p = exp(-(eNew - eOld) / T) compared with 1 and with r * 0.001), and the
// draws are taken in the same cases; exp runs only near a decision boundary.

#include "classes/RandomGenerator.hpp"

#include <array>
#include <cmath>

namespace vornel {

class MetropolisTest {
public:
  /// 1 / T is formed here, once per sweep.
  explicit MetropolisTest(double T);

  /// True when p >= 1 (so no draw is needed): a non-negative or NaN exponent,
  /// or a negative one too small for exp to fall below 1.
  bool acceptsWithoutDraw(double eOld, double eNew) const {
    return certainWithoutDraw(exponentOf(eOld, eNew));
  }

  /// The full test: no draw when p >= 1; else r = next() % 1000 and accept when
  /// r * 0.001 <= p.
  bool accepts(double eOld, double eNew, RandomGenerator& rng) const {
    const double exponent = exponentOf(eOld, eNew);
    if (certainWithoutDraw(exponent))
      return true;
    return acceptsDraw(exponent, rng.next() % 1000);
  }

  /// The test split in two, for decisions formed ahead of their draws: the
  /// value of one proposal, 0 when p >= 1 (no draw needed), else its negative
  /// exponent. Formed exactly as accepts() forms it.
  double pendingExponent(double eOld, double eNew) const {
    const double exponent = exponentOf(eOld, eNew);
    return certainWithoutDraw(exponent) ? 0.0 : exponent;
  }

  /// The decision from pendingExponent: the same outcome and the same draws as
  /// accepts() on the energies it was formed from.
  bool acceptsPending(double pending, RandomGenerator& rng) const {
    if (!(pending < 0.0))
      return true;
    return acceptsDraw(pending, rng.next() % 1000);
  }

  /// Decides r * 0.001 <= exp(exponent) for a negative exponent.
  bool acceptsDraw(double exponent, int draw) const {
    // Away from log(r * 0.001) the comparison of the exponents settles it (exp
    // and log are accurate to about 1e-16, far inside the margin); only close
    // to it (or for an undefined gap, both -inf) is exp evaluated. Draw 0 has
    // boundary -inf: every p >= 0 accepts.
    const double boundary = logThresholds_[draw];
    if (!(std::fabs(exponent - boundary) > margin))
      return static_cast<double>(draw) * 0.001 <= std::exp(exponent);
    return exponent > boundary;
  }

private:
  double exponentOf(double eOld, double eNew) const { return -(eNew - eOld) * inverseTemperature_; }

  bool certainWithoutDraw(double exponent) const {
    if (!(exponent < 0.0))
      return true;
    if (exponent < -tinyExponent)
      return false;
    return !(std::exp(exponent) < 1.0);
  }

  static constexpr double tinyExponent = 1e-15; // exp(x) < 1 certainly below -tinyExponent
  static constexpr double margin = 1e-9;
  double inverseTemperature_;
  std::array<double, 1000> logThresholds_; // log(r * 0.001)
};

} // namespace vornel
