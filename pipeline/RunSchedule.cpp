#include "pipeline/RunSchedule.hpp"

#include "core/Errors.hpp"
#include "pipeline/RefinedSegmentation.hpp"

#include <cmath>
#include <sstream>
#include <string>

namespace vornel {

namespace {

std::string numberText(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

} // namespace

bool isValidInitialTemperature(double temperature) {
  return temperature > 0.0 && std::isfinite(temperature);
}

bool isValidCoolingFactor(double factor) {
  return factor > 0.0 && factor <= 1.0;
}

void checkSchedule(const SegmentationOptions& options) {
  if (const auto temperature = options.initialTemperature;
      temperature && !isValidInitialTemperature(*temperature))
    throw InvalidInputError("the initial temperature must be " +
                            std::string(*temperature > 0.0 ? "a finite number" : "above 0") +
                            ", got " + numberText(*temperature));
  if (options.coolingFactor && !isValidCoolingFactor(*options.coolingFactor))
    throw InvalidInputError("the cooling factor must lie in (0, 1], got " +
                            numberText(*options.coolingFactor));
}

AnnealingSchedule annealingScheduleFor(const SegmentationOptions& options) {
  AnnealingSchedule schedule =
      options.refine ? refinedSchedule(options.sweepCount) : AnnealingSchedule{};
  schedule.sweepCount = options.sweepCount;
  if (options.initialTemperature)
    schedule.initialTemperature = *options.initialTemperature;
  if (options.coolingFactor)
    schedule.coolingFactor = *options.coolingFactor;
  return schedule;
}

} // namespace vornel
