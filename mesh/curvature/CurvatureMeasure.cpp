#include "mesh/curvature/CurvatureMeasure.hpp"

#include "core/Errors.hpp"

namespace vornel {

const char* curvatureMeasureName(CurvatureMeasure measure) {
  switch (measure) {
  case CurvatureMeasure::MeanCurvature:
    return "mean-curvature";
  case CurvatureMeasure::GaussianCurvature:
    return "gaussian-curvature";
  case CurvatureMeasure::Curvedness:
    return "curvedness";
  }
  return "";
}

CurvatureMeasure parseCurvatureMeasure(const std::string& name) {
  std::string validNames;
  for (const CurvatureMeasure measure : allCurvatureMeasures) {
    if (name == curvatureMeasureName(measure)) {
      return measure;
    }
    validNames += validNames.empty() ? "" : ", ";
    validNames += curvatureMeasureName(measure);
  }
  throw UnknownNameError("unknown curvature measure \"" + name + "\" (valid: " + validNames + ")");
}

} // namespace vornel
