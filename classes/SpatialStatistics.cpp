#include "classes/SpatialStatistics.hpp"

#include "classes/FeatureScaling.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace vornel {

namespace {

/// The median of a chi-square variable with one degree of freedom: the square
/// of the upper quartile of the standard normal distribution.
constexpr double chiSquareMedian = 0.454936423119572;

} // namespace

std::vector<double> ringAverages(const VertexGraph& graph, const std::vector<double>& values) {
  std::vector<double> averages(values.size());
  for (std::size_t v = 0; v < values.size(); ++v) {
    double sum = values[v];
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j)
      sum += values[graph.neighbours[j]];
    averages[v] = sum / static_cast<double>(1 + graph.degree(v));
  }
  return averages;
}

double edgeNoiseVariance(const VertexGraph& graph, const std::vector<double>& values) {
  std::vector<double> squares;
  squares.reserve(graph.neighbours.size() / 2);
  for (std::size_t v = 0; v < values.size(); ++v)
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
      const std::uint32_t n = graph.neighbours[j];
      if (n > v) { // each edge once, from its lower end
        const double difference = values[v] - values[n];
        squares.push_back(difference * difference);
      }
    }
  if (squares.empty())
    return 0.0;
  const auto middle = squares.begin() + static_cast<std::ptrdiff_t>(squares.size() / 2);
  std::nth_element(squares.begin(), middle, squares.end());
  return *middle / (2.0 * chiSquareMedian);
}

std::vector<double> featureRingAverages(const VertexGraph& graph, const std::vector<double>& values,
                                        int featureCount) {
  if (featureCount == 1)
    return ringAverages(graph, values);
  const std::size_t D = static_cast<std::size_t>(featureCount);
  std::vector<double> averages(values.size());
  for (int i = 0; i < featureCount; ++i) {
    const std::vector<double> column = ringAverages(graph, featureColumn(values, featureCount, i));
    for (std::size_t v = 0; v < column.size(); ++v)
      averages[v * D + i] = column[v];
  }
  return averages;
}

std::vector<double> featureNoiseVariances(const VertexGraph& graph,
                                          const std::vector<double>& values, int featureCount) {
  std::vector<double> variances;
  for (int i = 0; i < featureCount; ++i)
    variances.push_back(edgeNoiseVariance(graph, featureColumn(values, featureCount, i)));
  return variances;
}

} // namespace vornel
