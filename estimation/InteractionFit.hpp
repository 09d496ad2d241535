#pragma once
// The interaction-only fit: every class weight held at 1 and beta alone fitted
// to the usable rows of a configuration table by least squares through the origin.

#include "estimation/ParameterEstimator.hpp"

#include <vector>

namespace vornel {

struct InteractionFit {
  float beta = 1.0f;
  int usableRows = 0; // rows that took part in the fit; 0 means beta is the default 1
};

/// beta = sum(f * y) / sum(f * f) over the rows that carry an equation, with f
/// the row's interaction feature (its last one) and y = ln(n_a / n_b) (the
/// row's logRatio, plus 1 when its first label is 0). beta is 1 when no row is
/// usable or every f is 0.
InteractionFit fitInteractionOnly(const std::vector<NeighbourhoodConfiguration>& rows);

/// The parameter vector of classCount entries (1, ..., 1, beta).
std::vector<float> interactionOnlyParameters(int classCount, float beta);

} // namespace vornel
