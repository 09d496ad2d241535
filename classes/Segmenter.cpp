#include "classes/Segmenter.hpp"

#include "classes/ClassStatistics.hpp"
#include "classes/FeatureScaling.hpp"
#include "core/Errors.hpp"
#include "core/LargeArray.hpp"

#include <cstddef>
#include <string>
#include <utility>

namespace vornel {

namespace {

/// Per-cluster mean and population variance of the clustered values, both
/// summed from 0.0 in ascending value order, written from index offset on.
void storeStatistics(const std::vector<double>& clustered, const KMeansResult& clusters, int offset,
                     std::vector<double>& means, std::vector<double>& variances) {
  const std::size_t K = clusters.memberCounts.size();
  std::vector<double> sums(K, 0.0);
  for (std::size_t p = 0; p < clustered.size(); ++p)
    sums[clusters.assignment[p]] += clustered[p];
  for (std::size_t i = 0; i < K; ++i) {
    const std::int32_t members = clusters.memberCounts[i];
    // A cluster can only be empty when the refinement stopped at its cap; it
    // then keeps its centre as mean and a variance of 0 instead of 0/0.
    means[offset + i] = members > 0 ? sums[i] / static_cast<double>(members) : clusters.centres[i];
  }

  std::vector<double> squares(K, 0.0);
  for (std::size_t p = 0; p < clustered.size(); ++p) {
    const std::int32_t i = clusters.assignment[p];
    const double difference = clustered[p] - means[offset + i];
    squares[i] += difference * difference;
  }
  for (std::size_t i = 0; i < K; ++i) {
    const std::int32_t members = clusters.memberCounts[i];
    variances[offset + i] = members > 0 ? squares[i] / static_cast<double>(members) : 0.0;
  }
}

/// K-means on the standardised features, then each class's mean vector and
/// covariance from the features themselves.
InitialisationReport initialiseFeatureClasses(Segmenter& segmenter, int K, RandomGenerator& rng) {
  KMeansResult clusters = kmeans(standardisedFeatures(segmenter.values, segmenter.featureCount),
                                 segmenter.featureCount, K, rng);
  segmenter.labels = std::move(clusters.assignment);
  ClassStatistics statistics =
      featureStatisticsOf(segmenter.values, segmenter.featureCount, segmenter.labels, K);
  segmenter.means = std::move(statistics.means);
  segmenter.variances = std::move(statistics.variances);
  segmenter.classCount = K;
  return {clusters.iterations, clusters.hitIterationCap};
}

} // namespace

Segmenter::Segmenter(const VertexGraph& graph, std::vector<double> values, int featureCount)
    : graph(graph), values(std::move(values)), featureCount(featureCount) {
  if (featureCount < 1)
    throw InvalidInputError("a vertex needs at least one feature, got " +
                            std::to_string(featureCount));
  const std::size_t count = graph.vertexCount();
  if (this->values.size() != count * static_cast<std::size_t>(featureCount))
    throw InvalidInputError(featureCount == 1
                                ? "the value array holds " + std::to_string(this->values.size()) +
                                      " values; the mesh has " + std::to_string(count) + " vertices"
                                : "the value array holds " + std::to_string(this->values.size()) +
                                      " values; " + std::to_string(count) + " vertices of " +
                                      std::to_string(featureCount) + " features need " +
                                      std::to_string(count * featureCount));
  reserveLarge(labels, count);
  labels.assign(count, 0);
}

InitialisationReport Segmenter::initialiseClasses(int K, int offset, RandomGenerator& rng) {
  if (featureCount > 1) {
    if (offset != 0)
      throw InvalidInputError("classes can only be added beside class 0 with one feature");
    return initialiseFeatureClasses(*this, K, rng);
  }
  if (offset != 0 && offset != 1)
    throw InvalidInputError("the class offset must be 0 or 1, got " + std::to_string(offset));
  if (offset == 1 && means.empty())
    throw InvalidInputError(
        "classes can only be added beside class 0 after a first initialisation");

  // Offset 0 clusters every vertex; offset 1 only those outside class 0.
  const auto qualifies = [&](std::size_t v) { return offset == 0 || labels[v] != 0; };
  std::vector<double> outsideClassZero;
  if (offset == 1)
    for (std::size_t v = 0; v < values.size(); ++v)
      if (qualifies(v))
        outsideClassZero.push_back(values[v]);
  const std::vector<double>& clustered = offset == 0 ? values : outsideClassZero;

  KMeansResult clusters = kmeans(clustered, 1, K, rng);

  std::vector<double> newMeans(static_cast<std::size_t>(K) + offset, 0.0);
  std::vector<double> newVariances(newMeans.size(), 0.0);
  if (offset == 1) {
    newMeans[0] = means[0];
    newVariances[0] = variances[0];
  }
  storeStatistics(clustered, clusters, offset, newMeans, newVariances);
  means = std::move(newMeans);
  variances = std::move(newVariances);

  const InitialisationReport report{clusters.iterations, clusters.hitIterationCap};
  if (offset == 0) {
    labels = std::move(clusters.assignment); // one cluster index per vertex
  } else {
    std::size_t next = 0;
    for (std::size_t v = 0; v < values.size(); ++v)
      if (qualifies(v))
        labels[v] = offset + clusters.assignment[next++];
  }
  classCount = K + offset;
  return report;
}

} // namespace vornel
