#pragma once
// The names of the per-vertex curvature measures, as a user types them.

#include <array>
#include <string>

namespace vornel {

enum class CurvatureMeasure { MeanCurvature, GaussianCurvature, Curvedness };

/// Every measure, in the order the names are listed to the user.
constexpr std::array<CurvatureMeasure, 3> allCurvatureMeasures{CurvatureMeasure::MeanCurvature,
                                                               CurvatureMeasure::GaussianCurvature,
                                                               CurvatureMeasure::Curvedness};

/// "mean-curvature", "gaussian-curvature" or "curvedness".
const char* curvatureMeasureName(CurvatureMeasure measure);

/// The measure whose name is exactly `name` (letter case counts). Any other
/// text throws UnknownNameError quoting it and listing the valid names.
CurvatureMeasure parseCurvatureMeasure(const std::string& name);

} // namespace vornel
