// Accuracy against known regions: the default run (K 3 50) and the refined
// model (K 3 50 --refine) over a matrix of problems. Per cell: mean accuracy
// of both, the refined model's worst run, mean processor seconds of both, the
// refined model's mean sweep count and mean number of annealing rounds that
// stopped at the cap of sweeps at the last temperature. Region c has mean c (the
// spacing is 1) plus Gaussian noise of sigma = spacing / ratio, stored as a
// float. Regions are grown from K far-apart seeds over the vertex graph, or
// cut into K bands of equal vertex count along the longest axis. Meshes: a
// generated grid and icosphere, and the public meshes of the shared data folder
// when present (a mesh that is absent or cannot be read is skipped).
//
// With --joint, the problems have several features per vertex and no single
// feature tells the regions apart: region c's mean vector is the digits of c
// in base b (b^D >= K, the first feature the most significant digit), so
// every feature alone merges regions. The matrix is D = 2, 3 by K = 3, 4, 6
// by the ratios; per cell it also gives the best accuracy of one feature alone
// (either model, each feature's run matched to the regions at its best).
//
// Usage: bench_quality [--data DIR] [--meshes grid,sphere,cow,...]
//                      [--classes 2,3,5] [--ratios 4,2,1.5,1] [--seeds 2]
//                      [--sweeps 50] [--refined-only] [--per-mesh]
//                      [--joint [--features 2,3]]

#include "MeshGenerator.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/MeshReading.hpp"
#include "pipeline/RefinedSegmentation.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef VORNEL_SHARED_DATA_DIR
#define VORNEL_SHARED_DATA_DIR "../shared/data"
#endif

namespace {

using namespace vornel;
using Point = std::array<float, 3>;

struct Settings {
  std::string dataFolder = VORNEL_SHARED_DATA_DIR;
  std::vector<std::string> meshes{"grid",   "sphere", "stanford-bunny", "beast",  "fandisk",
                                  "teapot", "cow",    "spot",           "suzanne"};
  std::vector<int> classCounts{2, 3, 5};
  std::vector<double> ratios{4.0, 2.0, 1.5, 1.0};
  int seeds = 2;
  int sweeps = 50;
  bool refinedOnly = false;
  bool perMesh = false;
  bool joint = false;
  std::vector<int> featureCounts{2, 3};
};

struct BenchMesh {
  std::string name;
  VertexGraph graph;
  std::vector<Point> points; // in vertex order
};

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream stream(text);
  for (std::string item; std::getline(stream, item, ',');)
    if (!item.empty())
      items.push_back(item);
  return items;
}

Settings parseSettings(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--refined-only" || arg == "--per-mesh") {
      (arg == "--per-mesh" ? settings.perMesh : settings.refinedOnly) = true;
      continue;
    }
    if (arg == "--joint") {
      settings.joint = true;
      settings.classCounts = {3, 4, 6};
      settings.ratios = {4.0, 2.0, 1.5};
      settings.meshes = {"grid", "sphere"};
      continue;
    }
    ++i;
    if (arg == "--data")
      settings.dataFolder = value;
    else if (arg == "--meshes")
      settings.meshes = splitList(value);
    else if (arg == "--classes") {
      settings.classCounts.clear();
      for (const std::string& item : splitList(value))
        settings.classCounts.push_back(std::atoi(item.c_str()));
    } else if (arg == "--ratios") {
      settings.ratios.clear();
      for (const std::string& item : splitList(value))
        settings.ratios.push_back(std::atof(item.c_str()));
    } else if (arg == "--features") {
      settings.featureCounts.clear();
      for (const std::string& item : splitList(value))
        settings.featureCounts.push_back(std::atoi(item.c_str()));
    } else if (arg == "--seeds")
      settings.seeds = std::atoi(value.c_str());
    else if (arg == "--sweeps")
      settings.sweeps = std::atoi(value.c_str());
    else {
      std::fprintf(stderr, "bench_quality: unknown option %s\n", arg.c_str());
      std::exit(2);
    }
  }
  return settings;
}

/// The "v x y z" lines of an OBJ file, in file order.
std::vector<Point> objPoints(const std::string& path) {
  std::vector<Point> points;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.size() < 2 || line[0] != 'v' || (line[1] != ' ' && line[1] != '\t'))
      continue;
    std::istringstream fields(line.substr(2));
    Point p{0.0f, 0.0f, 0.0f};
    fields >> p[0] >> p[1] >> p[2];
    points.push_back(p);
  }
  return points;
}

bool loadMesh(const std::string& name, const Settings& settings, BenchMesh& mesh) {
  mesh.name = name;
  std::string path = settings.dataFolder + "/" + name + ".obj";
  std::string temporary;
  if (name == "grid" || name == "sphere") {
    const generator::GeneratedMesh generated =
        name == "grid" ? generator::makeGrid(22500, 2) : generator::makeIcosphere(20000, 2);
    temporary =
        (std::filesystem::temp_directory_path() / ("vornel-quality-" + name + ".obj")).string();
    generator::writeObj(generated, temporary);
    path = temporary;
  } else if (!std::filesystem::exists(path)) {
    std::printf("# %s: absent, skipped\n", name.c_str());
    return false;
  }
  bool read = true;
  try {
    LabeledMesh labeled;
    buildCheckedSoup(readCheckedSoup(path), labeled);
    mesh.graph = buildVertexGraph(labeled);
    mesh.points = objPoints(path);
  } catch (const std::exception& error) {
    std::printf("# %s: cannot be read (%s), skipped\n", name.c_str(), error.what());
    read = false;
  }
  if (!temporary.empty())
    std::filesystem::remove(temporary);
  if (read && mesh.points.size() != mesh.graph.vertexCount()) {
    std::printf("# %s: vertex order differs from the file, skipped\n", name.c_str());
    read = false;
  }
  return read;
}

/// Graph distance from the sources (unreached vertices: -1).
std::vector<int> distances(const VertexGraph& graph, const std::vector<std::uint32_t>& sources) {
  std::vector<int> distance(graph.vertexCount(), -1);
  std::deque<std::uint32_t> queue;
  for (const std::uint32_t s : sources) {
    distance[s] = 0;
    queue.push_back(s);
  }
  while (!queue.empty()) {
    const std::uint32_t v = queue.front();
    queue.pop_front();
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
      const std::uint32_t n = graph.neighbours[j];
      if (distance[n] < 0) {
        distance[n] = distance[v] + 1;
        queue.push_back(n);
      }
    }
  }
  return distance;
}

/// The vertices of the largest connected part of the graph.
std::vector<std::uint32_t> largestPart(const VertexGraph& graph) {
  std::vector<int> part(graph.vertexCount(), -1);
  std::vector<std::uint32_t> largest;
  for (std::uint32_t start = 0; start < graph.vertexCount(); ++start) {
    if (part[start] >= 0)
      continue;
    const std::vector<int> distance = distances(graph, {start});
    std::vector<std::uint32_t> members;
    for (std::uint32_t v = 0; v < graph.vertexCount(); ++v)
      if (distance[v] >= 0) {
        part[v] = static_cast<int>(start);
        members.push_back(v);
      }
    if (members.size() > largest.size())
      largest = std::move(members);
  }
  return largest;
}

/// The region with the fewest vertices among those that can still grow; -1 when none can.
int smallestGrowing(const std::vector<std::deque<std::uint32_t>>& fronts,
                    const std::vector<std::size_t>& sizes) {
  int chosen = -1;
  for (int r = 0; r < static_cast<int>(fronts.size()); ++r)
    if (!fronts[r].empty() && (chosen < 0 || sizes[r] < sizes[chosen]))
      chosen = r;
  return chosen;
}

/// K seeds in the largest connected part, the first farthest from a random
/// vertex and each next one farthest from those before; the region with the
/// fewest vertices always takes the next vertex of its breadth-first front, so
/// the regions are connected and of about equal size. Every other part of the
/// graph takes one region, in turn.
std::vector<int> grownRegions(const VertexGraph& graph, int K, std::mt19937& engine) {
  const std::vector<std::uint32_t> part = largestPart(graph);
  const auto farthestFrom = [&](const std::vector<std::uint32_t>& sources) {
    const std::vector<int> distance = distances(graph, sources);
    std::uint32_t farthest = sources.front();
    for (const std::uint32_t v : part)
      if (distance[v] > distance[farthest])
        farthest = v;
    return farthest;
  };
  std::vector<std::uint32_t> seeds{farthestFrom({part[engine() % part.size()]})};
  while (static_cast<int>(seeds.size()) < K)
    seeds.push_back(farthestFrom(seeds));

  std::vector<int> region(graph.vertexCount(), -1);
  std::vector<std::deque<std::uint32_t>> fronts(K);
  std::vector<std::size_t> sizes(K, 0);
  for (int r = 0; r < K; ++r)
    fronts[r].push_back(seeds[r]);
  for (int r = smallestGrowing(fronts, sizes); r >= 0; r = smallestGrowing(fronts, sizes)) {
    const std::uint32_t v = fronts[r].front();
    fronts[r].pop_front();
    if (region[v] >= 0)
      continue;
    region[v] = r;
    ++sizes[r];
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j)
      if (region[graph.neighbours[j]] < 0)
        fronts[r].push_back(graph.neighbours[j]);
  }
  int next = 0;
  for (std::uint32_t start = 0; start < graph.vertexCount(); ++start) {
    if (region[start] >= 0)
      continue;
    const std::vector<int> distance = distances(graph, {start});
    for (std::uint32_t v = 0; v < graph.vertexCount(); ++v)
      if (distance[v] >= 0)
        region[v] = next % K;
    ++next;
  }
  return region;
}

/// K bands of equal vertex count along the longest side of the bounding box.
std::vector<int> bandRegions(const std::vector<Point>& points, int K) {
  int axis = 0;
  double longest = -1.0;
  for (int d = 0; d < 3; ++d) {
    const auto [low, high] = std::minmax_element(
        points.begin(), points.end(), [d](const Point& a, const Point& b) { return a[d] < b[d]; });
    if ((*high)[d] - (*low)[d] > longest) {
      longest = (*high)[d] - (*low)[d];
      axis = d;
    }
  }
  std::vector<std::size_t> order(points.size());
  for (std::size_t v = 0; v < order.size(); ++v)
    order[v] = v;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return points[a][axis] < points[b][axis]; });
  std::vector<int> region(points.size());
  for (std::size_t rank = 0; rank < order.size(); ++rank)
    region[order[rank]] = static_cast<int>(rank * K / order.size());
  return region;
}

struct Problem {
  std::vector<int> regions;
  std::vector<double> values;
};

Problem makeProblem(const BenchMesh& mesh, bool grown, int K, double sigma, unsigned seed) {
  std::mt19937 engine(seed);
  Problem problem;
  problem.regions = grown ? grownRegions(mesh.graph, K, engine) : bandRegions(mesh.points, K);
  std::normal_distribution<double> noise(0.0, sigma);
  for (const int region : problem.regions)
    problem.values.push_back(static_cast<float>(region + noise(engine)));
  return problem;
}

/// Region c's mean vector: the D digits of c in the smallest base b with b^D >= K.
std::vector<int> regionCode(int region, int K, int D) {
  int base = 2;
  while (std::pow(base, D) < K)
    ++base;
  std::vector<int> code(D);
  for (int i = D - 1; i >= 0; --i, region /= base)
    code[i] = region % base;
  return code;
}

/// D features per vertex (vertex-major): the region's code plus noise on each.
Problem makeJointProblem(const BenchMesh& mesh, int K, int D, double sigma, unsigned seed) {
  std::mt19937 engine(seed);
  Problem problem;
  problem.regions = grownRegions(mesh.graph, K, engine);
  std::normal_distribution<double> noise(0.0, sigma);
  for (const int region : problem.regions)
    for (const int digit : regionCode(region, K, D))
      problem.values.push_back(static_cast<float>(digit + noise(engine)));
  return problem;
}

/// The share of labels equal to their region under the best matching of
/// labels to regions (all of them tried: K <= 8).
double bestMatchAccuracy(const std::vector<std::int32_t>& labels, const std::vector<int>& regions,
                         int K) {
  std::vector<std::vector<std::size_t>> agree(K, std::vector<std::size_t>(K, 0));
  for (std::size_t v = 0; v < labels.size(); ++v)
    ++agree[labels[v]][regions[v]];
  std::vector<int> order(K);
  for (int k = 0; k < K; ++k)
    order[k] = k;
  std::size_t best = 0;
  do {
    std::size_t sum = 0;
    for (int k = 0; k < K; ++k)
      sum += agree[k][order[k]];
    best = std::max(best, sum);
  } while (std::next_permutation(order.begin(), order.end()));
  return static_cast<double>(best) / static_cast<double>(labels.size());
}

double accuracy(const std::vector<std::int32_t>& labels, const std::vector<int>& regions) {
  std::size_t agree = 0;
  for (std::size_t i = 0; i < labels.size(); ++i)
    agree += labels[i] == regions[i];
  return static_cast<double>(agree) / static_cast<double>(labels.size());
}

/// Counts the sweeps of a run, and the annealing rounds that ran to the cap
/// of sweeps at the last temperature.
class SweepCount : public RunReport {
public:
  explicit SweepCount(int settlingCap) : settlingCap_(settlingCap) {}
  void sweep(const SweepSummary& summary) override {
    ++sweeps;
    if (summary.round != round_) {
      round_ = summary.round;
      settling_ = 0;
    }
    if (summary.phase == SweepPhase::Settling && ++settling_ == settlingCap_)
      ++cappedRounds;
  }
  int sweeps = 0;
  int cappedRounds = 0;

private:
  int settlingCap_;
  int round_ = 0;
  int settling_ = 0;
};

struct Outcome {
  double accuracy = 0.0;
  double seconds = 0.0; // processor time
  int sweeps = 0;
  int cappedRounds = 0;
};

Outcome run(const BenchMesh& mesh, const Problem& problem, int K, int sweeps, unsigned seed,
            bool refine, int featureCount = 1) {
  SegmentationOptions options;
  options.refine = refine;
  options.classCount = K;
  options.filterPasses = 3;
  options.sweepCount = sweeps;
  options.seed = seed;
  SweepCount count(refinedSettlingRule(sweeps).settlingCap);
  const std::clock_t start = std::clock();
  const SegmentationResult result =
      segment(mesh.graph, problem.values, featureCount, options, seed, &count);
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  // With several features the classes follow the lexicographic order of their
  // noisy mean vectors, which need not be the regions' order: matched at best.
  const double share = featureCount > 1 ? bestMatchAccuracy(result.labels, problem.regions, K)
                                        : accuracy(result.labels, problem.regions);
  return {share, seconds, count.sweeps, count.cappedRounds};
}

struct Tally {
  int count = 0;
  double plain = 0.0, refined = 0.0, refinedWorst = 1.0, plainSeconds = 0.0, refinedSeconds = 0.0;
  double refinedSweeps = 0.0, cappedRounds = 0.0;
  void add(const Outcome& plainRun, const Outcome& refinedRun) {
    ++count;
    plain += plainRun.accuracy;
    refined += refinedRun.accuracy;
    refinedWorst = std::min(refinedWorst, refinedRun.accuracy);
    plainSeconds += plainRun.seconds;
    refinedSeconds += refinedRun.seconds;
    refinedSweeps += refinedRun.sweeps;
    cappedRounds += refinedRun.cappedRounds;
  }
  void print(const std::string& label, bool refinedOnly) const {
    const double n = count > 0 ? count : 1;
    if (refinedOnly)
      std::printf("%-28s %5d %9s %9.4f %9.4f %9s %9.3f %7.0f %7.2f\n", label.c_str(), count, "-",
                  refined / n, refinedWorst, "-", refinedSeconds / n, refinedSweeps / n,
                  cappedRounds / n);
    else
      std::printf("%-28s %5d %9.4f %9.4f %9.4f %9.3f %9.3f %7.0f %7.2f\n", label.c_str(), count,
                  plain / n, refined / n, refinedWorst, plainSeconds / n, refinedSeconds / n,
                  refinedSweeps / n, cappedRounds / n);
  }
};

std::string cellName(int K, double ratio) {
  char name[64];
  std::snprintf(name, sizeof name, "K %d, ratio %g", K, ratio);
  return name;
}

/// One feature of a joint problem, as a problem of its own.
Problem featureAlone(const Problem& joint, int D, int i) {
  Problem alone{joint.regions, {}};
  for (std::size_t p = static_cast<std::size_t>(i); p < joint.values.size(); p += D)
    alone.values.push_back(joint.values[p]);
  return alone;
}

/// The best accuracy of one feature alone, either model, matched at its best.
double bestSingleFeature(const BenchMesh& mesh, const Problem& joint, int K, int D,
                         const Settings& settings, unsigned seed) {
  double best = 0.0;
  for (int i = 0; i < D; ++i)
    for (const bool refine : {false, true}) {
      SegmentationOptions options;
      options.refine = refine;
      options.classCount = K;
      options.sweepCount = settings.sweeps;
      options.seed = seed;
      const SegmentationResult result =
          segment(mesh.graph, featureAlone(joint, D, i).values, options, seed);
      best = std::max(best, bestMatchAccuracy(result.labels, joint.regions, K));
    }
  return best;
}

int jointMatrix(const Settings& settings, const std::vector<BenchMesh>& meshes) {
  std::printf("%-22s %5s %9s %9s %9s %9s %9s %9s\n", "cell", "runs", "default", "refined", "worst",
              "alone", "s default", "s refined");
  for (const int D : settings.featureCounts)
    for (const int K : settings.classCounts)
      for (const double ratio : settings.ratios) {
        Tally tally;
        double alone = 0.0;
        for (const BenchMesh& mesh : meshes)
          for (int s = 1; s <= settings.seeds; ++s) {
            const unsigned seed = static_cast<unsigned>(s);
            const Problem problem = makeJointProblem(mesh, K, D, 1.0 / ratio, seed);
            tally.add(run(mesh, problem, K, settings.sweeps, seed, false, D),
                      run(mesh, problem, K, settings.sweeps, seed, true, D));
            alone = std::max(alone, bestSingleFeature(mesh, problem, K, D, settings, seed));
          }
        const double n = tally.count > 0 ? tally.count : 1;
        std::printf("D %d, K %d, ratio %-6g %5d %9.4f %9.4f %9.4f %9.4f %9.3f %9.3f\n", D, K, ratio,
                    tally.count, tally.plain / n, tally.refined / n, tally.refinedWorst, alone,
                    tally.plainSeconds / n, tally.refinedSeconds / n);
      }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const Settings settings = parseSettings(argc, argv);
  std::vector<BenchMesh> meshes;
  for (const std::string& name : settings.meshes) {
    BenchMesh mesh;
    if (loadMesh(name, settings, mesh)) {
      std::printf("# %s: %zu vertices\n", name.c_str(), mesh.graph.vertexCount());
      meshes.push_back(std::move(mesh));
    }
  }
  if (settings.joint)
    return jointMatrix(settings, meshes);
  std::map<std::pair<int, double>, Tally> cells;
  std::map<std::string, Tally> perMesh;
  Tally total;
  for (const BenchMesh& mesh : meshes)
    for (const bool grown : {true, false})
      for (const int K : settings.classCounts)
        for (const double ratio : settings.ratios)
          for (int s = 1; s <= settings.seeds; ++s) {
            const unsigned seed = static_cast<unsigned>(s);
            const Problem problem = makeProblem(mesh, grown, K, 1.0 / ratio, seed);
            const Outcome plain = settings.refinedOnly
                                      ? Outcome{}
                                      : run(mesh, problem, K, settings.sweeps, seed, false);
            const Outcome refined = run(mesh, problem, K, settings.sweeps, seed, true);
            cells[{K, -ratio}].add(plain, refined);
            perMesh[mesh.name + (grown ? " grown " : " bands ") + cellName(K, ratio)].add(plain,
                                                                                          refined);
            total.add(plain, refined);
          }
  std::printf("%-28s %5s %9s %9s %9s %9s %9s %7s %7s\n", "cell (ratio = spacing/sigma)", "runs",
              "default", "refined", "worst", "s default", "s refined", "sweeps", "capped");
  if (settings.perMesh)
    for (const auto& [name, tally] : perMesh)
      tally.print(name, settings.refinedOnly);
  for (const auto& [cell, tally] : cells)
    tally.print(cellName(cell.first, -cell.second), settings.refinedOnly);
  total.print("all", settings.refinedOnly);
  return 0;
}
