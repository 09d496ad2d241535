#include "pipeline/Segmentation.hpp"

#include "classes/ClassStatistics.hpp"
#include "classes/SegmentMerge.hpp"
#include "classes/Segmenter.hpp"
#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "estimation/FallbackMessage.hpp"
#include "optimisation/Annealing.hpp"
#include "pipeline/ClassStart.hpp"
#include "pipeline/RefinedSegmentation.hpp"
#include "pipeline/RunSchedule.hpp"
#include "pipeline/Stopwatch.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace vornel {

namespace {

void checkInput(const VertexGraph& graph, const std::vector<double>& values, int featureCount,
                const SegmentationOptions& options) {
  if (featureCount < 1)
    throw InvalidInputError("a vertex needs at least one feature, got " +
                            std::to_string(featureCount));
  if (featureCount == 1 && values.size() != graph.vertexCount())
    throw InvalidInputError("the value array holds " + std::to_string(values.size()) +
                            " values; the mesh has " + std::to_string(graph.vertexCount()) +
                            " vertices");
  if (values.size() != graph.vertexCount() * static_cast<std::size_t>(featureCount))
    throw InvalidInputError("the value array holds " + std::to_string(values.size()) +
                            " values; the mesh's " + std::to_string(graph.vertexCount()) +
                            " vertices of " + std::to_string(featureCount) + " features need " +
                            std::to_string(graph.vertexCount() * featureCount));
  // Every source is checked where it is read; this keeps any that is not
  // from handing k-means a value it cannot sort.
  for (std::size_t p = 0; p < values.size(); ++p)
    if (!std::isfinite(values[p]))
      throw InvalidInputError((featureCount == 1
                                   ? "the value of vertex " + std::to_string(p)
                                   : "feature " + std::to_string(p % featureCount) + " of vertex " +
                                         std::to_string(p / featureCount)) +
                              " is " + std::to_string(values[p]) + ", not a finite number");
  if (options.classCount < 1 || options.classCount > maxClassCount)
    throw InvalidInputError("the class count must lie between 1 and " +
                            std::to_string(maxClassCount) + ", got " +
                            std::to_string(options.classCount));
  checkSchedule(options);
  if (static_cast<std::size_t>(options.classCount) > graph.vertexCount())
    throw InvalidInputError("ClustNb " + std::to_string(options.classCount) +
                            " is larger than the number of vertices (" +
                            std::to_string(graph.vertexCount()) + ")");
}

/// Majority filter, parameter fit and annealing: the stages that only make
/// sense with at least two classes.
void refineLabels(Segmenter& segmenter, const SegmentationOptions& options, unsigned seed,
                  SegmentationResult& result, RunReport& report) {
  Stopwatch stopwatch;
  tellProgress(options.progress, "majority filter");
  for (int pass = 0; pass < options.filterPasses; ++pass)
    segmenter.majorityFilter();
  report.stageDone("majority filter", stopwatch.lap());

  tellProgress(options.progress, "parameter estimate");
  ParameterEstimator estimator(segmenter.graph);
  estimator.buildConfigurations(segmenter.labels, segmenter.classCount);
  result.parameters = estimator.estimate();
  result.fallback = estimator.fallback;
  if (estimator.fallback != EstimateFallback::None)
    result.warnings.push_back(describeFallback(estimator.fallback));
  report.stageDone("parameter estimate", stopwatch.lap());
  report.parameters(result.parameters, result.fallback);

  const AnnealingSchedule schedule = annealingScheduleFor(options);
  const int bound = sweepBound(schedule);
  tellProgress(options.progress, "annealing", 0, bound);
  const auto observe = [&](const SweepSummary& sweep) {
    report.sweep(sweep);
    tellProgress(options.progress, "annealing", sweep.sweep, bound);
  };
  anneal(segmenter, schedule, result.parameters, seed, nullptr, observe);
  report.stageDone("annealing", stopwatch.lap());
}

SegmentationResult segmentPlain(const VertexGraph& graph, std::vector<double> values,
                                int featureCount, const SegmentationOptions& options, unsigned seed,
                                RunReport& report) {
  return segmentInMode(graph, std::move(values), featureCount, options, seed, report,
                       [&](Segmenter& segmenter, SegmentationResult& result) {
                         refineLabels(segmenter, options, seed, result, report);
                       });
}

std::string segmentCountText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " segment" : " segments");
}

/// The classes as the final labels have them, numbered by increasing mean
/// again. A class the merge emptied keeps the model's mean and variance, so
/// that it keeps a place in the order.
void remeasureClasses(const VertexGraph& graph, std::vector<double> values,
                      SegmentationResult& result) {
  const int D = result.featureCount;
  const std::size_t means = static_cast<std::size_t>(D);
  const std::size_t covariances = means * means;
  const int K = static_cast<int>(result.means.size() / means);
  const ClassStatistics statistics = featureStatisticsOf(values, D, result.labels, K);
  Segmenter segmenter(graph, std::move(values), D);
  segmenter.classCount = K;
  segmenter.labels.swap(result.labels);
  segmenter.means = std::move(result.means);
  segmenter.variances = std::move(result.variances);
  for (int l = 0; l < K; ++l)
    if (statistics.sizes[l] > 0) {
      std::copy_n(&statistics.means[l * means], means, &segmenter.means[l * means]);
      std::copy_n(&statistics.variances[l * covariances], covariances,
                  &segmenter.variances[l * covariances]);
    }
  segmenter.sortClassesByMean();
  result.labels.swap(segmenter.labels);
  result.means = std::move(segmenter.means);
  result.variances = std::move(segmenter.variances);
}

/// --min-segment-size: the segments below the size take a neighbour's label.
void cleanUpSegments(const VertexGraph& graph, std::vector<double> values,
                     std::uint32_t minimumSize, Segments& segments, SegmentationResult& result,
                     RunReport& report) {
  Stopwatch stopwatch;
  const std::size_t before = segments.count();
  const SegmentMergeSummary merge = mergeSmallSegments(graph, segments, minimumSize, result.labels);
  const std::string size = std::to_string(minimumSize) + " vertices";
  report.note("segment merge: " + std::to_string(merge.merged) + " of " + segmentCountText(before) +
              " below " + size + " merged into a neighbouring segment");
  if (merge.isolated == 1)
    result.warnings.push_back("1 separate piece of the mesh is smaller than " + size +
                              " and keeps its labels: it has no neighbouring segment");
  else if (merge.isolated > 1)
    result.warnings.push_back(std::to_string(merge.isolated) +
                              " separate pieces of the mesh are smaller than " + size +
                              " and keep their labels: they have no neighbouring segment");
  remeasureClasses(graph, std::move(values), result);
  report.stageDone("segment merge", stopwatch.lap());
}

/// The connected segments of the labels, merged first when the options ask for it.
void findSegments(const VertexGraph& graph, std::vector<double> mergeValues,
                  const SegmentationOptions& options, SegmentationResult& result,
                  RunReport& report) {
  Stopwatch stopwatch;
  tellProgress(options.progress, "segments");
  Segments segments = connectedSegments(graph, result.labels);
  report.stageDone("segments", stopwatch.lap());
  if (options.minSegmentSize > 1) {
    tellProgress(options.progress, "segment merge");
    cleanUpSegments(graph, std::move(mergeValues), options.minSegmentSize, segments, result,
                    report);
  }
  result.segmentCount = segments.count();
  result.segments = std::move(segments.ids);
  report.note(segmentCountText(result.segmentCount) + " (connected pieces of one class)");
}

} // namespace

SegmentationResult segment(const VertexGraph& graph, std::vector<double> values,
                           const SegmentationOptions& options, unsigned seed, RunReport* report) {
  return segment(graph, std::move(values), 1, options, seed, report);
}

SegmentationResult segment(const VertexGraph& graph, std::vector<double> values, int featureCount,
                           const SegmentationOptions& options, unsigned seed, RunReport* report) {
  checkInput(graph, values, featureCount, options);
  RunReport silent;
  RunReport& sink = report ? *report : silent;
  const unsigned runSeed = options.seed.value_or(seed);
  sink.seed(runSeed);
  // The merge measures the classes again on the values.
  std::vector<double> mergeValues = options.minSegmentSize > 1 ? values : std::vector<double>();
  StageThreads threads(options.threads);
  const unsigned running = threads.running();
  sink.note(std::to_string(running) + (running == 1 ? " thread" : " threads"));
  SegmentationResult result = threads.run([&] {
    SegmentationResult segmented =
        options.refine
            ? segmentRefined(graph, std::move(values), featureCount, options, runSeed, sink)
            : segmentPlain(graph, std::move(values), featureCount, options, runSeed, sink);
    segmented.featureCount = featureCount;
    findSegments(graph, std::move(mergeValues), options, segmented, sink);
    return segmented;
  });
  sink.classes("final", summariseClasses(result.labels, result.means, result.variances,
                                         result.featureCount));
  return result;
}

} // namespace vornel
