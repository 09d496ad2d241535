#include "optimisation/MetropolisTest.hpp"

#include <limits>

namespace vornel {

MetropolisTest::MetropolisTest(double T) : inverseTemperature_(1.0 / T), logThresholds_{} {
  logThresholds_[0] = -std::numeric_limits<double>::infinity();
  for (int draw = 1; draw < 1000; ++draw)
    logThresholds_[draw] = std::log(static_cast<double>(draw) * 0.001);
}

} // namespace vornel
