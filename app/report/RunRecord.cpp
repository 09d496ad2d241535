#include "app/report/RunRecord.hpp"

namespace vornel {

const ClassSummary* RunRecord::classesAt(const std::string& when) const {
  for (auto snapshot = classes.rbegin(); snapshot != classes.rend(); ++snapshot)
    if (snapshot->when == when)
      return &snapshot->summary;
  return nullptr;
}

} // namespace vornel
