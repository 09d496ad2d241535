#pragma once
// The labelling state shared by the class model and the optimisation: one value
// (or one vector of features) and one label per vertex, per-class means and
// variances (mean vectors and covariance matrices), and the class count.
// The label array is the home of the labels for the whole segmentation; they
// are written back to the mesh once, at the end.

#include "classes/KMeans.hpp"
#include "classes/RandomGenerator.hpp"
#include "core/VertexGraph.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

struct InitialisationReport {
  int kmeansIterations = 0;
  bool hitIterationCap = false;
};

class Segmenter {
public:
  /// graph must outlive the Segmenter; values holds featureCount numbers per
  /// vertex, vertex after vertex.
  Segmenter(const VertexGraph& graph, std::vector<double> values, int featureCount = 1);

  /// K-means classes of the values. offset 0 clusters every vertex into classes
  /// 0 .. K-1; offset 1 keeps class 0 and clusters the other vertices into 1 .. K
  /// (one feature only). With several features the k-means runs on the
  /// standardised features (standardisedFeatures) and the class statistics are
  /// those of the features themselves.
  InitialisationReport initialiseClasses(int K, int offset, RandomGenerator& rng);

  /// One simultaneous pass of the 1-ring majority filter.
  void majorityFilter();

  /// Renumbers the classes by increasing mean; with several features by the
  /// mean of the first feature, ties by the second, and so on.
  void sortClassesByMean();

  const VertexGraph& graph;
  std::vector<double> values; // vertex v's feature i at [v * featureCount + i]
  int featureCount = 1;
  std::vector<std::int32_t> labels;
  std::vector<double> means;     // class l's mean of feature i at [l * featureCount + i]
  std::vector<double> variances; // class covariances, as ClassStatistics holds them
  int classCount = 0;

private:
  std::vector<std::int32_t> scratchLabels_; // working copy of one filter pass
};

} // namespace vornel
