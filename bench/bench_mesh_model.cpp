// The mesh model on a side x side grid (side^2 vertices, 2 (side-1)^2
// triangles): building from in-memory arrays, geometry preparation, the ring
// adjacency, a full copy, and the attribute and label files.

#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SurfaceFromSoup.hpp"
#include "mesh/io/AttributeFile.hpp"
#include "mesh/io/LabelFile.hpp"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace vornel;

PolygonSoup gridSoup(std::uint32_t side) {
  PolygonSoup soup;
  soup.points.reserve(std::size_t{side} * side);
  for (std::uint32_t row = 0; row < side; ++row) {
    for (std::uint32_t column = 0; column < side; ++column) {
      const float height = 0.01f * static_cast<float>((row * 7 + column * 13) % 17);
      soup.points.emplace_back(static_cast<float>(column), static_cast<float>(row), height);
    }
  }
  const std::size_t facets = 2 * std::size_t{side - 1} * (side - 1);
  soup.corners.reserve(3 * facets);
  soup.facetOffsets.reserve(facets + 1);
  soup.facetLines.reserve(facets);
  const auto addTriangle = [&soup](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    soup.corners.insert(soup.corners.end(), {a, b, c});
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
    soup.facetLines.push_back(soup.facetLines.size() + 1);
  };
  for (std::uint32_t row = 0; row + 1 < side; ++row) {
    for (std::uint32_t column = 0; column + 1 < side; ++column) {
      const std::uint32_t v = row * side + column;
      addTriangle(v, v + 1, v + side + 1);
      addTriangle(v, v + side + 1, v + side);
    }
  }
  return soup;
}

void buildGrid(LabeledMesh& mesh, std::uint32_t side) {
  buildSurface(gridSoup(side), mesh, "grid");
}

std::string scratchPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("vornel-bench-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

void BM_BuildSurface(benchmark::State& state) {
  const PolygonSoup soup = gridSoup(static_cast<std::uint32_t>(state.range(0)));
  std::unique_ptr<LabeledMesh> mesh;
  for (auto _ : state) {
    state.PauseTiming(); // the previous mesh is released outside the measurement
    mesh = std::make_unique<LabeledMesh>();
    state.ResumeTiming();
    buildSurface(soup, *mesh, "grid");
    benchmark::DoNotOptimize(mesh->surface.size_of_halfedges());
  }
}

void BM_PrepareGeometry(benchmark::State& state) {
  LabeledMesh mesh;
  buildGrid(mesh, static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    prepareGeometry(mesh);
    benchmark::DoNotOptimize(mesh.surface.vertices_begin()->normal);
  }
}

void BM_BuildVertexGraph(benchmark::State& state) {
  LabeledMesh mesh;
  buildGrid(mesh, static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    const VertexGraph graph = buildVertexGraph(mesh);
    benchmark::DoNotOptimize(graph.neighbours.data());
  }
}

void BM_CopyMesh(benchmark::State& state) {
  LabeledMesh mesh;
  buildGrid(mesh, static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    const LabeledMesh copy(mesh);
    benchmark::DoNotOptimize(copy.surface.size_of_vertices());
  }
}

void BM_ReadAttributes(benchmark::State& state) {
  LabeledMesh mesh;
  buildGrid(mesh, static_cast<std::uint32_t>(state.range(0)));
  const std::string path = scratchPath("values.att");
  {
    std::FILE* file = std::fopen(path.c_str(), "w");
    std::mt19937 random(7);
    std::normal_distribution<float> value(1.0f, 0.5f);
    for (std::size_t k = 0; k < mesh.vertexCount(); ++k) {
      std::fprintf(file, "%f\n", static_cast<double>(value(random)));
    }
    std::fclose(file);
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(readMeshAttributes(mesh, path));
  }
  std::remove(path.c_str());
}

void BM_WriteLabels(benchmark::State& state) {
  LabeledMesh mesh;
  buildGrid(mesh, static_cast<std::uint32_t>(state.range(0)));
  mesh.classCount = 5;
  std::int32_t label = 0;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    v->label = label++ % 5;
  }
  const std::string path = scratchPath("labels.lb");
  for (auto _ : state) {
    writeMeshLabels(mesh, path);
  }
  std::remove(path.c_str());
}

constexpr int repetitions = 3;

BENCHMARK(BM_BuildSurface)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_PrepareGeometry)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_BuildVertexGraph)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_CopyMesh)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadAttributes)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteLabels)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
