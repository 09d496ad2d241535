#pragma once
// The first classes of a run, for both modes: k-means on the values (the
// default), or the best of several k-means starts on the ring averages of the
// values (--refine); then the stage's report and warning, said once for both.

#include "classes/Segmenter.hpp"
#include "pipeline/Options.hpp"
#include "pipeline/RunReport.hpp"
#include "pipeline/Segmentation.hpp"

namespace vornel {

/// Labels every vertex of segmenter with one of options.classCount classes and
/// sets the class statistics; with several features the k-means compares the
/// standardised features. A k-means that stopped at its iteration cap adds a
/// warning to result.
void startClasses(Segmenter& segmenter, const SegmentationOptions& options, unsigned seed,
                  SegmentationResult& result, RunReport& report);

} // namespace vornel
