// Mesh input on a generated 1000 x 1000 grid OBJ (1M vertices, 2M triangles):
// the time of each stage (read + parse, build, geometry preparation, the whole
// input) against CGAL's incremental builder alone on in-memory arrays, and the
// peak memory of the whole input against the size of the built surface.
//
//   bench_mesh_input [benchmark options]      (grid side: VORNEL_BENCH_GRID_SIDE)

#include "MeshGenerator.hpp"

#include "mesh/MeshInput.hpp"
#include "mesh/ObjParser.hpp"
#include "mesh/PolygonSoup.hpp"

#include <CGAL/Polyhedron_incremental_builder_3.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace vornel;

std::size_t gridSide() {
  const char* side = std::getenv("VORNEL_BENCH_GRID_SIDE");
  return side ? static_cast<std::size_t>(std::atol(side)) : 1000;
}

std::string gridPath() {
  const std::filesystem::path folder = "/tmp/vornel-bench";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / ("grid" + std::to_string(gridSide()) + ".obj")).string();
  if (!std::filesystem::exists(path)) {
    generator::writeObj(generator::makeGrid(gridSide() * gridSide(), 3), path);
  }
  return path;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The same mesh as flat arrays, for the builder on its own.
struct FlatMesh {
  std::vector<Point3> points;
  std::vector<std::array<std::uint32_t, 3>> triangles;
};

FlatMesh flatGrid() {
  generator::GeneratedMesh grid = generator::makeGrid(gridSide() * gridSide(), 3);
  FlatMesh flat;
  flat.points.reserve(grid.points.size());
  for (const auto& p : grid.points) {
    flat.points.emplace_back(p[0], p[1], p[2]);
  }
  flat.triangles = std::move(grid.triangles);
  return flat;
}

class ArrayBuilder : public CGAL::Modifier_base<HalfedgeDS> {
public:
  explicit ArrayBuilder(const FlatMesh& mesh) : mesh_(mesh) {}
  void operator()(HalfedgeDS& hds) override {
    CGAL::Polyhedron_incremental_builder_3<HalfedgeDS> builder(hds, false);
    builder.begin_surface(mesh_.points.size(), mesh_.triangles.size());
    for (const Point3& p : mesh_.points) {
      builder.add_vertex(p);
    }
    for (const auto& t : mesh_.triangles) {
      builder.add_facet(t.begin(), t.end());
    }
    builder.end_surface();
  }

private:
  const FlatMesh& mesh_;
};

// Each benchmark below builds one mesh per iteration; its release is not timed.
void releaseUntimed(benchmark::State& state, std::unique_ptr<LabeledMesh>& mesh) {
  state.PauseTiming();
  mesh.reset();
  state.ResumeTiming();
}

void BM_ReadAndParse(benchmark::State& state) {
  const std::string path = gridPath();
  for (auto _ : state) {
    const PolygonSoup soup = parseObj(readText(path), path);
    benchmark::DoNotOptimize(soup.corners.data());
  }
}

void BM_BuildSurface(benchmark::State& state) {
  const std::string path = gridPath();
  const PolygonSoup soup = parseObj(readText(path), path);
  for (auto _ : state) {
    auto mesh = std::make_unique<LabeledMesh>();
    buildSurface(soup, *mesh, path);
    releaseUntimed(state, mesh);
  }
}

void BM_PrepareGeometry(benchmark::State& state) {
  const std::string path = gridPath();
  LabeledMesh mesh;
  readMeshFile(path, mesh);
  for (auto _ : state) {
    prepareGeometry(mesh);
  }
}

void BM_WholeInput(benchmark::State& state) {
  const std::string path = gridPath();
  for (auto _ : state) {
    auto mesh = std::make_unique<LabeledMesh>();
    readMeshFile(path, *mesh);
    prepareGeometry(*mesh);
    releaseUntimed(state, mesh);
  }
}

void BM_BuilderAlone(benchmark::State& state) {
  const FlatMesh flat = flatGrid();
  for (auto _ : state) {
    auto mesh = std::make_unique<LabeledMesh>();
    ArrayBuilder builder(flat);
    mesh->surface.delegate(builder);
    releaseUntimed(state, mesh);
  }
}

#define VORNEL_INPUT_BENCHMARK(name)                                                               \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime()

VORNEL_INPUT_BENCHMARK(BM_ReadAndParse);
VORNEL_INPUT_BENCHMARK(BM_BuildSurface);
VORNEL_INPUT_BENCHMARK(BM_PrepareGeometry);
VORNEL_INPUT_BENCHMARK(BM_WholeInput);
VORNEL_INPUT_BENCHMARK(BM_BuilderAlone);

// ------------------------------------------------------------ peak memory
// Each probe runs in a fresh process (this program with --memory-probe), so
// that its peak resident size belongs to that stage alone.

long residentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::size_t heapBytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Prints "<peak kB above the start> <heap bytes of the built surface>".
int memoryProbe(const std::string& mode) {
  if (mode == "whole") {
    const std::string path = gridPath();
    const long start = residentKilobytes();
    LabeledMesh mesh;
    readMeshFile(path, mesh);
    prepareGeometry(mesh);
    std::printf("%ld 0\n", peakKilobytes() - start);
    return 0;
  }
  const FlatMesh flat = flatGrid();
  const long start = residentKilobytes();
  const std::size_t heapBefore = heapBytes();
  LabeledMesh mesh;
  ArrayBuilder builder(flat);
  mesh.surface.delegate(builder);
  std::printf("%ld %zu\n", peakKilobytes() - start, heapBytes() - heapBefore);
  return 0;
}

std::pair<double, double> runProbe(const std::string& mode) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string command = "'" + self + "' --memory-probe " + mode;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  double peak = 0.0;
  double heap = 0.0;
  if (!pipe || std::fscanf(pipe.get(), "%lf %lf", &peak, &heap) != 2) {
    std::fprintf(stderr, "memory probe '%s' failed\n", mode.c_str());
  }
  return {peak * 1024.0, heap};
}

void reportMemory() {
  const auto [wholePeak, unused] = runProbe("whole");
  const auto [builderPeak, surfaceBytes] = runProbe("builder");
  static_cast<void>(unused);
  const double mb = 1024.0 * 1024.0;
  std::printf("built surface: %.1f MB on the heap\n", surfaceBytes / mb);
  std::printf("peak above start, whole input (read+build+prepare): %.1f MB = %.2f x surface\n",
              wholePeak / mb, wholePeak / surfaceBytes);
  std::printf("peak above start, builder alone from arrays:          %.1f MB = %.2f x surface\n",
              builderPeak / mb, builderPeak / surfaceBytes);
}

// Collects the median times to print the whole-input / builder-alone ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name == "median") {
        medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void printRatio() const {
    const auto whole = medians_.find("BM_WholeInput");
    const auto builder = medians_.find("BM_BuilderAlone");
    if (whole != medians_.end() && builder != medians_.end()) {
      std::printf("whole input / builder alone (medians): %.2f\n",
                  whole->second / builder->second);
    }
  }

private:
  std::map<std::string, double> medians_;
};

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--memory-probe") {
    return memoryProbe(argv[2]);
  }
  benchmark::Initialize(&argc, argv);
  std::printf("grid %zu x %zu: %s\n", gridSide(), gridSide(), gridPath().c_str());
  reportMemory();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatio();
  benchmark::Shutdown();
  return 0;
}
