// The three curvature measures at once on a subdivided icosphere of about a
// million vertices (two million triangles), from the flat soup arrays and from
// nested facet lists.

#include "MeshGenerator.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/curvature/Curvature.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace vornel;

const generator::GeneratedMesh& millionVertexSphere() {
  static const generator::GeneratedMesh sphere = generator::makeIcosphere(1000000, 1);
  return sphere;
}

PolygonSoup sphereSoup() {
  const generator::GeneratedMesh& sphere = millionVertexSphere();
  PolygonSoup soup;
  soup.points.reserve(sphere.points.size());
  for (const auto& p : sphere.points) {
    soup.points.emplace_back(p[0], p[1], p[2]);
  }
  soup.corners.reserve(3 * sphere.triangles.size());
  soup.facetOffsets.reserve(sphere.triangles.size() + 1);
  for (const auto& triangle : sphere.triangles) {
    soup.corners.insert(soup.corners.end(), triangle.begin(), triangle.end());
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
  }
  return soup;
}

void BM_CurvaturesFromSoup(benchmark::State& state) {
  const PolygonSoup soup = sphereSoup();
  for (auto _ : state) {
    const CurvatureFields fields = computeCurvatures(soup);
    benchmark::DoNotOptimize(fields.meanCurvature.data());
  }
  state.counters["vertices"] = static_cast<double>(soup.points.size());
  state.counters["facets"] = static_cast<double>(soup.facetCount());
}
BENCHMARK(BM_CurvaturesFromSoup)->Unit(benchmark::kMillisecond);

void BM_CurvaturesFromNestedLists(benchmark::State& state) {
  const generator::GeneratedMesh& sphere = millionVertexSphere();
  const PositionList positions(sphere.points.begin(), sphere.points.end());
  FacetList facets;
  facets.reserve(sphere.triangles.size());
  for (const auto& triangle : sphere.triangles) {
    facets.emplace_back(triangle.begin(), triangle.end());
  }
  for (auto _ : state) {
    const CurvatureFields fields = computeCurvatures(positions, facets);
    benchmark::DoNotOptimize(fields.meanCurvature.data());
  }
}
BENCHMARK(BM_CurvaturesFromNestedLists)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
