// The --report page's cost on a generated icosphere of about 1M vertices (2M
// triangles, so the 3D view is simplified) and of about 200k vertices (drawn as
// it is): the parts, and the whole page from the segmented mesh.

#include "MeshGenerator.hpp"

#include "app/report/ReportData.hpp"
#include "app/report/ReportPage.hpp"
#include "app/report/ValueHistogram.hpp"
#include "app/report/ViewSurface.hpp"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace vornel;

/// The segmented mesh as the run hands it to the report: the regions as labels
/// and noisy values around them.
ColouredMesh colouredSphere(std::size_t vertexCount) {
  const generator::GeneratedMesh sphere = generator::makeIcosphere(vertexCount, 3);
  ColouredMesh mesh;
  mesh.classCount = 3;
  std::mt19937 random(1);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  for (std::size_t v = 0; v < sphere.points.size(); ++v) {
    const auto& p = sphere.points[v];
    mesh.positions.emplace_back(p[0], p[1], p[2]);
    mesh.labels.push_back(sphere.regions[v]);
    mesh.values.push_back(static_cast<float>(sphere.regions[v]) + noise(random));
  }
  for (const auto& triangle : sphere.triangles) {
    mesh.corners.insert(mesh.corners.end(), triangle.begin(), triangle.end());
    mesh.facetOffsets.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
  }
  return mesh;
}

const ColouredMesh& sphereOf(std::size_t vertexCount) {
  static const ColouredMesh large = colouredSphere(1000000);
  static const ColouredMesh medium = colouredSphere(200000);
  return vertexCount == 1000000 ? large : medium;
}

/// A record like a 50-sweep run's.
RunRecord runRecord(const ColouredMesh& mesh) {
  RunRecord record;
  for (const char* when : {"after k-means", "final"})
    record.classes.push_back(
        {when, ClassSummary{{333000, 334000, 333000}, {0.0, 1.0, 2.0}, {0.09, 0.09, 0.09}}});
  record.parameters.push_back({1.0f, 1.0f, 3.0f});
  for (int sweep = 1; sweep <= 50; ++sweep)
    record.trace.push_back({1, SweepSummary{sweep, 4.0 * std::pow(0.97, sweep - 1), sweep == 50,
                                            static_cast<long>(mesh.positions.size() / sweep)}});
  return record;
}

void BM_ViewSurface(benchmark::State& state) {
  const ColouredMesh& mesh = sphereOf(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(viewSurfaceOf(mesh, viewTriangleBudget));
}
BENCHMARK(BM_ViewSurface)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ValueHistogram(benchmark::State& state) {
  const ColouredMesh& mesh = sphereOf(1000000);
  for (auto _ : state)
    benchmark::DoNotOptimize(valueHistogram(mesh.values, mesh.labels, mesh.classCount));
}
BENCHMARK(BM_ValueHistogram)->Unit(benchmark::kMillisecond);

void BM_ReportPage(benchmark::State& state) {
  const ColouredMesh& mesh = sphereOf(static_cast<std::size_t>(state.range(0)));
  RunOptions options;
  options.meshPath = "sphere.obj";
  options.reportPath = "sphere.html";
  const RunRecord record = runRecord(mesh);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string page = reportPage(reportData(
        ReportInputs{options, record, mesh, "sphere_attribute.att", "sphere_labels.lb"}));
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["page_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_ReportPage)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
