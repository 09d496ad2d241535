#pragma once
// The warning text for an estimate that could not use the plain fit.

#include "estimation/ParameterEstimator.hpp"

#include <string>

namespace vornel {

/// One line (no newline) naming the fallback used; empty for EstimateFallback::None.
std::string describeFallback(EstimateFallback fallback);

} // namespace vornel
