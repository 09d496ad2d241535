#include "app/RefinedSegmentation.hpp"

#include "mesh/Errors.hpp"

namespace vornel {

SegmentationResult segmentRefined(const VertexGraph&, std::vector<double>,
                                  const SegmentationOptions&, unsigned, RunReport&) {
  throw UsageError("--refine is not available yet");
}

} // namespace vornel
