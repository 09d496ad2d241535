#pragma once
// The interaction-only fit: every class weight held at 1 and beta alone fitted
// to the equations of a configuration table by least squares through the origin.

#include "estimation/ParameterEstimator.hpp"

#include <vector>

namespace vornel {

struct InteractionFit {
  float beta = 1.0f;
  int usableRows = 0; // equations that took part in the fit; 0 means beta is the default 1
};

/// beta = sum(f * y) / sum(f * f) over the equations, in order, with f the
/// equation's interaction coefficient and y = ln(n_a / n_b) (its logRatio,
/// plus 1 when its first label is 0). beta is 1 when there is no equation or
/// every f is 0.
InteractionFit fitInteractionOnly(const std::vector<PairEquation>& equations);

/// The parameter vector of classCount entries (1, ..., 1, beta).
std::vector<float> interactionOnlyParameters(int classCount, float beta);

} // namespace vornel
