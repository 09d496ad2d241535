#pragma once
// The labelling state shared by the class model and the optimisation: one value
// and one label per vertex, per-class means and variances, and the class count.
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
  /// graph must outlive the Segmenter; values holds one number per vertex.
  Segmenter(const VertexGraph& graph, std::vector<double> values);

  /// K-means classes of the values. offset 0 clusters every vertex into classes
  /// 0 .. K-1; offset 1 keeps class 0 and clusters the other vertices into 1 .. K.
  InitialisationReport initialiseClasses(int K, int offset, RandomGenerator& rng);

  /// One simultaneous pass of the 1-ring majority filter.
  void majorityFilter();

  /// Renumbers the classes by increasing mean.
  void sortClassesByMean();

  const VertexGraph& graph;
  std::vector<double> values;
  std::vector<std::int32_t> labels;
  std::vector<double> means;
  std::vector<double> variances;
  int classCount = 0;

private:
  std::vector<std::int32_t> scratchLabels_; // working copy of one filter pass
};

} // namespace vornel
