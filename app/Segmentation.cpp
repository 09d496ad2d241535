#include "app/Segmentation.hpp"

#include "classes/Segmenter.hpp"
#include "estimation/FallbackMessage.hpp"
#include "mesh/Errors.hpp"
#include "optimisation/Annealing.hpp"

#include <string>

namespace vornel {

namespace {

void checkInput(const VertexGraph& graph, const std::vector<double>& values,
                const SegmentationOptions& options) {
  if (values.size() != graph.vertexCount())
    throw InvalidInputError("the value array holds " + std::to_string(values.size()) +
                            " values; the mesh has " + std::to_string(graph.vertexCount()) +
                            " vertices");
  if (options.classCount < 1 || options.classCount > 256)
    throw InvalidInputError("the class count must lie between 1 and 256, got " +
                            std::to_string(options.classCount));
  if (static_cast<std::size_t>(options.classCount) > values.size())
    throw InvalidInputError("ClustNb " + std::to_string(options.classCount) +
                            " is larger than the number of vertices (" +
                            std::to_string(values.size()) + ")");
}

/// Majority filter, parameter fit and annealing: the stages that only make
/// sense with at least two classes.
void refineLabels(Segmenter& segmenter, const SegmentationOptions& options, unsigned seed,
                  SegmentationResult& result) {
  for (int pass = 0; pass < options.filterPasses; ++pass)
    segmenter.majorityFilter();

  ParameterEstimator estimator(segmenter.graph);
  estimator.buildConfigurations(segmenter.labels, segmenter.classCount);
  result.parameters = estimator.estimate();
  result.fallback = estimator.fallback;
  if (estimator.fallback != EstimateFallback::None)
    result.warnings.push_back(describeFallback(estimator.fallback));

  AnnealingSchedule schedule;
  schedule.initialTemperature = options.initialTemperature;
  schedule.coolingFactor = options.coolingFactor;
  schedule.sweepCount = options.sweepCount;
  anneal(segmenter, schedule, result.parameters, seed);
}

} // namespace

SegmentationResult segment(const VertexGraph& graph, std::vector<double> values,
                           const SegmentationOptions& options, unsigned seed) {
  checkInput(graph, values, options);
  const unsigned runSeed = options.seed.value_or(seed);
  SegmentationResult result;

  Segmenter segmenter(graph, std::move(values));
  RandomGenerator generator(runSeed);
  const InitialisationReport initialisation =
      segmenter.initialiseClasses(options.classCount, 0, generator);
  if (initialisation.hitIterationCap)
    result.warnings.push_back("k-means stopped at its iteration cap after " +
                              std::to_string(initialisation.kmeansIterations) +
                              " iterations without settling; its last classes are used");

  // With one class every vertex is labelled 0 and nothing is left to decide.
  if (segmenter.classCount > 1)
    refineLabels(segmenter, options, runSeed, result);

  segmenter.sortClassesByMean();
  result.labels = std::move(segmenter.labels);
  result.means = std::move(segmenter.means);
  result.variances = std::move(segmenter.variances);
  return result;
}

} // namespace vornel
