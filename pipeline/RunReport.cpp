#include "pipeline/RunReport.hpp"

namespace vornel {

ClassSummary summariseClasses(const std::vector<std::int32_t>& labels,
                              const std::vector<double>& means,
                              const std::vector<double>& variances, int featureCount) {
  ClassSummary summary{std::vector<std::int64_t>(means.size() / featureCount, 0), means, variances,
                       featureCount};
  for (const std::int32_t label : labels)
    if (label >= 0 && static_cast<std::size_t>(label) < summary.sizes.size())
      ++summary.sizes[static_cast<std::size_t>(label)];
  return summary;
}

} // namespace vornel
