// Mesh input on a generated 1000 x 1000 grid OBJ (1M vertices, 2M triangles):
// the time of each stage (read + parse, build, geometry preparation, the whole
// input) against CGAL's incremental builder alone on in-memory arrays, and the
// peak memory of the whole input against the size of the built surface. The
// same grid as binary PLY and binary STL, read and built on one thread, compares
// the cost of welding STL corners with reading indexed vertices.
//
//   bench_mesh_input [benchmark options]      (grid side: VORNEL_BENCH_GRID_SIDE)
//   bench_mesh_input --fresh-runs N           each stage timed in N fresh processes
//   bench_mesh_input --digest FILE            a checksum of the prepared mesh
//
// The in-process benchmarks run warm: the allocator already holds the pages of
// the previous iteration. The tool itself reads one mesh per process, so the
// fresh-process medians are the figures that match its use.

#include "MeshGenerator.hpp"

#include "core/Parallel.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SurfaceFromSoup.hpp"
#include "mesh/io/MeshReading.hpp"
#include "mesh/io/ObjParser.hpp"

#include <CGAL/Polyhedron_incremental_builder_3.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
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

/// The grid as binary PLY (".ply") or binary STL (".stl"), written once.
std::string gridPathAs(const std::string& extension) {
  const std::string path = gridPath().substr(0, gridPath().size() - 4) + extension;
  if (!std::filesystem::exists(path)) {
    const generator::GeneratedMesh grid = generator::makeGrid(gridSide() * gridSide(), 3);
    if (extension == ".ply") {
      generator::writeBinaryPly(grid, path);
    } else {
      generator::writeBinaryStl(grid, path);
    }
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
  buildCheckedSoup(readCheckedSoup(path), mesh);
  for (auto _ : state) {
    prepareGeometry(mesh);
  }
}

void BM_WholeInput(benchmark::State& state) {
  const std::string path = gridPath();
  for (auto _ : state) {
    auto mesh = std::make_unique<LabeledMesh>();
    buildCheckedSoup(readCheckedSoup(path), *mesh);
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

// readCheckedSoup and buildCheckedSoup on one thread, as `--threads 1` reads.
void readAndBuildOnOneThread(benchmark::State& state, const std::string& path) {
  StageThreads one(1);
  for (auto _ : state) {
    auto mesh = std::make_unique<LabeledMesh>();
    one.run([&] { buildCheckedSoup(readCheckedSoup(path), *mesh); });
    releaseUntimed(state, mesh);
  }
}

void BM_ReadBinaryPly(benchmark::State& state) {
  readAndBuildOnOneThread(state, gridPathAs(".ply"));
}

void BM_ReadBinaryStl(benchmark::State& state) {
  readAndBuildOnOneThread(state, gridPathAs(".stl"));
}

#define VORNEL_INPUT_BENCHMARK(name)                                                               \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime()

VORNEL_INPUT_BENCHMARK(BM_ReadAndParse);
VORNEL_INPUT_BENCHMARK(BM_BuildSurface);
VORNEL_INPUT_BENCHMARK(BM_PrepareGeometry);
VORNEL_INPUT_BENCHMARK(BM_WholeInput);
VORNEL_INPUT_BENCHMARK(BM_BuilderAlone);
VORNEL_INPUT_BENCHMARK(BM_ReadBinaryPly);
VORNEL_INPUT_BENCHMARK(BM_ReadBinaryStl);

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
    buildCheckedSoup(readCheckedSoup(path), mesh);
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
      std::printf("whole input / builder alone (medians): %.2f\n", whole->second / builder->second);
    }
  }

private:
  std::map<std::string, double> medians_;
};

// ------------------------------------------------------------ fresh processes
// Each probe runs once in a new process (this program with --time-probe) and
// prints wall and CPU seconds; the CPU time is steadier on a shared machine.

struct Seconds {
  double wall = 0.0;
  double cpu = 0.0;
};

class Stopwatch {
public:
  Stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(std::clock()) {}
  Seconds elapsed() const {
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wall_;
    return {wall.count(), static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC};
  }

private:
  std::chrono::steady_clock::time_point wall_;
  std::clock_t cpu_;
};

void printSeconds(const char* stage, const Seconds& s) {
  std::printf("%s %.6f %.6f\n", stage, s.wall, s.cpu);
}

// "parse" (text already in memory), "read_build" (readCheckedSoup and
// buildCheckedSoup: read, parse and build), "prepare", "whole" (read and build
// + prepareGeometry), "builder"
// (the incremental builder alone from arrays made before timing).
// Ends the probe without releasing anything: the release of the mesh is not
// part of any stage.
[[noreturn]] void finishProbe() {
  std::fflush(stdout);
  std::_Exit(0);
}

int timeProbe(const std::string& mode) {
  const std::string path = gridPath();
  if (mode == "parse") {
    const std::string text = readText(path);
    const Stopwatch watch;
    const PolygonSoup soup = parseObj(text, path);
    printSeconds("parse", watch.elapsed());
    finishProbe();
  }
  if (mode == "stages") {
    LabeledMesh mesh;
    const Stopwatch read;
    buildCheckedSoup(readCheckedSoup(path), mesh);
    printSeconds("read_build", read.elapsed());
    const Stopwatch prepare;
    prepareGeometry(mesh);
    printSeconds("prepare", prepare.elapsed());
    finishProbe();
  }
  if (mode == "whole") {
    LabeledMesh mesh;
    const Stopwatch watch;
    buildCheckedSoup(readCheckedSoup(path), mesh);
    prepareGeometry(mesh);
    printSeconds("whole", watch.elapsed());
    finishProbe();
  }
  const FlatMesh flat = flatGrid();
  LabeledMesh mesh;
  const Stopwatch watch;
  ArrayBuilder builder(flat);
  mesh.surface.delegate(builder);
  printSeconds("builder", watch.elapsed());
  finishProbe();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]));
}

int freshRuns(int runs) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::map<std::string, std::vector<double>> wall;
  std::map<std::string, std::vector<double>> cpu;
  std::printf("grid %zu x %zu: %s, %d fresh processes per probe\n", gridSide(), gridSide(),
              gridPath().c_str(), runs);
  for (int run = 0; run < runs; ++run) {
    for (const char* mode : {"parse", "stages", "whole", "builder"}) {
      const std::string command = "'" + self + "' --time-probe " + mode;
      std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
      char stage[32] = {};
      double w = 0.0;
      double c = 0.0;
      while (pipe && std::fscanf(pipe.get(), "%31s %lf %lf", stage, &w, &c) == 3) {
        wall[stage].push_back(w);
        cpu[stage].push_back(c);
      }
    }
  }
  std::printf("%-12s %12s %12s   (medians, ms)\n", "stage", "wall", "cpu");
  for (const char* stage : {"parse", "read_build", "prepare", "whole", "builder"}) {
    std::printf("%-12s %12.1f %12.1f\n", stage, 1e3 * median(wall[stage]),
                1e3 * median(cpu[stage]));
  }
  std::printf("whole / builder, fresh processes: wall %.2f, cpu %.2f\n",
              median(wall["whole"]) / median(wall["builder"]),
              median(cpu["whole"]) / median(cpu["builder"]));
  return 0;
}

// ------------------------------------------------------------ result digest
// A checksum over every stored value of the read and prepared mesh in vertex
// and facet order, to confirm that faster input code gives identical results.

class Digest {
public:
  template <class T> void add(const T& value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (const unsigned char b : bytes) {
      hash_ = (hash_ ^ b) * 0x100000001B3ULL;
    }
  }
  std::uint64_t value() const { return hash_; }

private:
  std::uint64_t hash_ = 0xCBF29CE484222325ULL;
};

int printDigest(const std::string& path) {
  LabeledMesh mesh;
  buildCheckedSoup(readCheckedSoup(path), mesh);
  prepareGeometry(mesh);
  Digest positions;
  Digest vertexNormals;
  Digest facetNormals;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    positions.add(v->point());
    vertexNormals.add(v->normal);
  }
  for (auto f = mesh.surface.facets_begin(); f != mesh.surface.facets_end(); ++f) {
    facetNormals.add(f->normal);
  }
  positions.add(mesh.boxMin);
  positions.add(mesh.boxMax);
  std::printf("%016llx %016llx %016llx %d%d %zu vertices %zu facets %s\n",
              static_cast<unsigned long long>(positions.value()),
              static_cast<unsigned long long>(vertexNormals.value()),
              static_cast<unsigned long long>(facetNormals.value()), mesh.isQuadMesh,
              mesh.isTriangleMesh, mesh.surface.size_of_vertices(), mesh.surface.size_of_facets(),
              path.c_str());
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--memory-probe") {
    return memoryProbe(argv[2]);
  }
  if (argc == 3 && std::string(argv[1]) == "--time-probe") {
    return timeProbe(argv[2]);
  }
  if (argc == 3 && std::string(argv[1]) == "--fresh-runs") {
    return freshRuns(std::max(1, std::atoi(argv[2])));
  }
  if (argc >= 3 && std::string(argv[1]) == "--digest") {
    for (int k = 2; k < argc; ++k) {
      try {
        printDigest(argv[k]);
      } catch (const std::exception& error) {
        std::printf("error: %s\n", error.what());
      }
    }
    return 0;
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
