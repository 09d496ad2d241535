#pragma once
// The refined model (--refine): the same stages as the plain run with better
// class statistics (k-means on ring averages, class variances no smaller than
// the noise variance read from the edges), an interaction-only fit, a cooler
// schedule that runs until the labels settle, and a second round.

#include "app/Segmentation.hpp"

namespace vornel {

/// Runs the refined model; the input has been checked by segment().
SegmentationResult segmentRefined(const VertexGraph& graph, std::vector<double> values,
                                  const SegmentationOptions& options, unsigned seed,
                                  RunReport& report);

} // namespace vornel
