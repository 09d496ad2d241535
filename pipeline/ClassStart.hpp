#pragma once
// The first classes of a run, for both modes: k-means on the values (the
// default), or the best of several k-means starts on the ring averages of the
// values (--refine); then the stage's report and warning, said once for both.
// Also the frame both modes share around their own steps.

#include "classes/Segmenter.hpp"
#include "pipeline/Options.hpp"
#include "pipeline/RunReport.hpp"
#include "pipeline/Segmentation.hpp"

#include <functional>
#include <vector>

namespace vornel {

/// Labels every vertex of segmenter with one of options.classCount classes and
/// sets the class statistics; with several features the k-means compares the
/// standardised features. A k-means that stopped at its iteration cap adds a
/// warning to result.
void startClasses(Segmenter& segmenter, const SegmentationOptions& options, unsigned seed,
                  SegmentationResult& result, RunReport& report);

/// A mode's own steps after the first classes: the labels' refinement.
using ModeSteps = std::function<void(Segmenter&, SegmentationResult&)>;

/// The frame of both modes: the first classes, the mode's steps when there are
/// two classes or more, then the classes ordered by mean.
SegmentationResult segmentInMode(const VertexGraph& graph, std::vector<double> values,
                                 int featureCount, const SegmentationOptions& options,
                                 unsigned seed, RunReport& report, const ModeSteps& steps);

} // namespace vornel
