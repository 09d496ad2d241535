// Times every stage of one run on a mesh file, as the command line runs them.
//
// Usage: bench_run_stages mesh.obj K MedianNb IterNB [seed]
// Run it under /usr/bin/time -v for the peak memory.

#include "classes/Segmenter.hpp"
#include "estimation/ParameterEstimator.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/AttributeFile.hpp"
#include "mesh/io/LabelFile.hpp"
#include "mesh/io/MeshReading.hpp"
#include "optimisation/Annealing.hpp"
#include "pipeline/FileNames.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

class StageTimer {
public:
  void lap(const char* stage) {
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    std::printf("%-22s %8.3f s\n", stage, seconds);
    last_ = now;
  }
  void total() const {
    std::printf("%-22s %8.3f s\n", "total",
                std::chrono::duration<double>(Clock::now() - start_).count());
  }

private:
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_ = start_;
};

} // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s mesh K MedianNb IterNB [seed]\n", argv[0]);
    return 2;
  }
  using namespace vornel;
  const std::string path = argv[1];
  const int classes = std::atoi(argv[2]);
  const int passes = std::atoi(argv[3]);
  const int sweeps = std::atoi(argv[4]);
  const unsigned seed = argc > 5 ? static_cast<unsigned>(std::atoi(argv[5])) : 1u;
  const CompanionFiles files = deriveCompanionFiles(path);

  StageTimer timer;
  LabeledMesh mesh;
  buildCheckedSoup(readCheckedSoup(path), mesh);
  timer.lap("read and build");
  prepareGeometry(mesh);
  timer.lap("prepare geometry");
  readMeshAttributes(mesh, files.attributeFile);
  timer.lap("read attributes");
  const VertexGraph graph = buildVertexGraph(mesh);
  timer.lap("ring adjacency");

  Segmenter segmenter(graph, vertexFeature(mesh, 0));
  RandomGenerator generator(seed);
  segmenter.initialiseClasses(classes, 0, generator);
  timer.lap("k-means");
  for (int pass = 0; pass < passes; ++pass)
    segmenter.majorityFilter();
  timer.lap("majority filter");
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(segmenter.labels, segmenter.classCount);
  const std::vector<float> parameters = estimator.estimate();
  timer.lap("parameter estimate");
  AnnealingSchedule schedule;
  schedule.sweepCount = sweeps;
  anneal(segmenter, schedule, parameters, seed);
  timer.lap("annealing");
  segmenter.sortClassesByMean();
  timer.lap("class ordering");
  storeLabels(mesh, segmenter.labels);
  mesh.classCount = segmenter.classCount;
  writeMeshLabels(mesh, files.labelFile);
  timer.lap("write labels");
  timer.total();
  return 0;
}
