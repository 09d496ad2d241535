// Times the library entry point segmentMesh on a mesh file's arrays, the
// baseline of the Python module's overhead (bench/bench_python.py runs both).
//
// Usage: bench_segment_mesh mesh.obj K MedianNb IterNB seed [repeats]
//
// The mesh and its attribute file are read before any timing. Each repeat
// times both entries: the flat arrays, handed over without a copy, and the
// vector-of-facets form. Prints one line per timed run:
//   <entry> wall <s> cpu <s> system <s> faults <page faults> labels <checksum>
// (cpu is user plus system time; faults counts minor page faults).

#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/io/AttributeFile.hpp"
#include "mesh/io/MeshReading.hpp"
#include "pipeline/FileNames.hpp"
#include "pipeline/SegmentMesh.hpp"

#include <malloc.h>
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vornel;

struct Inputs {
  MeshArrays arrays;
  std::vector<std::array<float, 3>> positions;
  std::vector<std::vector<std::uint32_t>> facets;
  std::vector<double> values;
};

Inputs readInputs(const std::string& path) {
  const PolygonSoup soup = readCheckedSoup(path).soup;
  Inputs inputs;
  const AttributeValues values =
      readAttributeFile(deriveCompanionFiles(path).attributeFile, soup.points.size());
  inputs.values.assign(values.values.begin(), values.values.end());
  for (const Point3& p : soup.points) {
    inputs.arrays.coordinates.insert(inputs.arrays.coordinates.end(), {p.x(), p.y(), p.z()});
    inputs.positions.push_back({p.x(), p.y(), p.z()});
  }
  inputs.arrays.corners = soup.corners;
  inputs.arrays.facetOffsets = soup.facetOffsets;
  for (std::size_t f = 0; f < soup.facetCount(); ++f)
    inputs.facets.emplace_back(soup.corners.begin() + soup.facetOffsets[f],
                               soup.corners.begin() + soup.facetOffsets[f + 1]);
  return inputs;
}

/// Sum of (v + 1) * label[v] modulo 2^64: equal checksums, equal labels in practice.
std::uint64_t checksum(const std::vector<std::int32_t>& labels) {
  std::uint64_t sum = 0;
  for (std::size_t v = 0; v < labels.size(); ++v)
    sum += (v + 1) * static_cast<std::uint64_t>(labels[v]);
  return sum;
}

double seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + 1e-6 * static_cast<double>(time.tv_usec);
}

template <class Run> void timeRun(const char* entry, Run&& run) {
  rusage before{};
  rusage after{};
  // Each run starts from a heap that holds no free memory, as a program's
  // first call does: the pages it touches are all fresh, as in the Python runs.
  ::malloc_trim(0);
  const auto wallStart = std::chrono::steady_clock::now();
  ::getrusage(RUSAGE_SELF, &before);
  const SegmentationResult result = run();
  ::getrusage(RUSAGE_SELF, &after);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const double system = seconds(after.ru_stime) - seconds(before.ru_stime);
  const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + system;
  std::printf("%s wall %.4f cpu %.4f system %.4f faults %ld labels %llu\n", entry, wall, cpu,
              system, after.ru_minflt - before.ru_minflt,
              static_cast<unsigned long long>(checksum(result.labels)));
  std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s mesh K MedianNb IterNB seed [repeats]\n", argv[0]);
    return 2;
  }
  SegmentationOptions options;
  options.classCount = std::atoi(argv[2]);
  options.filterPasses = std::atoi(argv[3]);
  options.sweepCount = std::atoi(argv[4]);
  options.seed = static_cast<unsigned>(std::atoll(argv[5]));
  const int repeats = argc > 6 ? std::atoi(argv[6]) : 1;
  try {
    const Inputs inputs = readInputs(argv[1]);
    for (int r = 0; r < repeats; ++r) {
      MeshArrays arrays = inputs.arrays; // copied before the clock starts: the caller's own
      std::vector<double> values = inputs.values;
      timeRun("flat", [&] { return segmentMesh(std::move(arrays), std::move(values), options); });
      timeRun("vectors",
              [&] { return segmentMesh(inputs.positions, inputs.facets, inputs.values, options); });
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_segment_mesh: %s\n", error.what());
    return 1;
  }
  return 0;
}
