// The measure names a user types.

#include "mesh/curvature/CurvatureMeasure.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vornel {
namespace {

TEST(CurvatureMeasureTest, EveryNameParsesBackToItsMeasure) {
  for (const CurvatureMeasure measure : allCurvatureMeasures) {
    EXPECT_EQ(parseCurvatureMeasure(curvatureMeasureName(measure)), measure);
  }
  EXPECT_EQ(parseCurvatureMeasure("mean-curvature"), CurvatureMeasure::MeanCurvature);
  EXPECT_EQ(parseCurvatureMeasure("gaussian-curvature"), CurvatureMeasure::GaussianCurvature);
  EXPECT_EQ(parseCurvatureMeasure("curvedness"), CurvatureMeasure::Curvedness);
}

TEST(CurvatureMeasureTest, UnknownNameIsRefusedListingTheValidNames) {
  for (const std::string name : {"", "mean", "Curvedness", "gaussian-curvature "}) {
    try {
      parseCurvatureMeasure(name);
      ADD_FAILURE() << "accepted \"" << name << "\"";
    } catch (const UnknownNameError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("\"" + name + "\""), std::string::npos) << message;
      EXPECT_NE(message.find("mean-curvature, gaussian-curvature, curvedness"), std::string::npos)
          << message;
    }
  }
}

} // namespace
} // namespace vornel
