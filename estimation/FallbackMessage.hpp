#pragma once
// The name and the warning text of an estimate that could not use the plain fit.

#include "estimation/ParameterEstimator.hpp"

#include <string>

namespace vornel {

/// One line (no newline) naming the fallback used; empty for EstimateFallback::None.
std::string describeFallback(EstimateFallback fallback);

/// The fallback's short name, "smoothed ratios" or "neutral" (Python's
/// Segmentation.fallback shows it, so scripts compare with it); nullptr for
/// EstimateFallback::None.
const char* fallbackName(EstimateFallback fallback);

} // namespace vornel
