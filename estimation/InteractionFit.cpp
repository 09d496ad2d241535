#include "estimation/InteractionFit.hpp"

namespace vornel {

InteractionFit fitInteractionOnly(const std::vector<PairEquation>& equations) {
  InteractionFit fit;
  double crossSum = 0.0;  // sum of f * y
  double squareSum = 0.0; // sum of f * f
  for (const PairEquation& equation : equations) {
    const double f = equation.interaction;
    // The table's target has theta_0 = 1 moved to its side; with every class
    // weight at 1 the weights cancel, so the bare log ratio is the target.
    const double y =
        equation.firstLabel == 0 ? double(equation.logRatio) + 1.0 : double(equation.logRatio);
    crossSum += f * y;
    squareSum += f * f;
    ++fit.usableRows;
  }
  if (squareSum > 0.0)
    fit.beta = static_cast<float>(crossSum / squareSum);
  return fit;
}

std::vector<float> interactionOnlyParameters(int classCount, float beta) {
  if (classCount < 1)
    return {};
  std::vector<float> parameters(static_cast<std::size_t>(classCount), 1.0f);
  parameters.back() = beta;
  return parameters;
}

} // namespace vornel
