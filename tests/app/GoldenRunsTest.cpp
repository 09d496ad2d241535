// Whole seeded runs pinned to the label files they wrote when these hashes were
// taken. A change of compiler flags, summation order or stage layout that moves
// any rounding shows here even where a stage's own reference test moves with it.
// The same files come out on any number of threads.
// The inputs are generated in code by stable writers (std::to_chars, std::mt19937);
// the hashes are FNV-1a 64 of the label file's bytes.

#include "app/CliSupport.hpp"
#include "bench/MeshGenerator.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace vornel::testing {
namespace {

using generator::GeneratedMesh;

std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::string hex(std::uint64_t value) {
  char text[19];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

void writePly(const GeneratedMesh& mesh, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "ply\nformat binary_little_endian 1.0\nelement vertex " << mesh.points.size()
      << "\nproperty float x\nproperty float y\nproperty float z\nelement face "
      << mesh.triangles.size() << "\nproperty list uchar int vertex_indices\nend_header\n";
  for (const auto& p : mesh.points)
    out.write(reinterpret_cast<const char*>(p.data()), sizeof p);
  for (const auto& t : mesh.triangles) {
    const char corners = 3;
    out.write(&corners, 1);
    out.write(reinterpret_cast<const char*>(t.data()), sizeof t);
  }
}

/// Two grids of side x side vertices that share one corner vertex only: a
/// pinched vertex that --repair splits. Regions: one per grid.
GeneratedMesh pinchedGrids(std::size_t side) {
  const GeneratedMesh one = generator::makeGrid(side * side, 2);
  GeneratedMesh both = one;
  const auto shared = static_cast<std::uint32_t>(one.points.size() - 1); // the last corner
  const auto offset = static_cast<std::uint32_t>(one.points.size() - 1);
  for (std::size_t v = 1; v < one.points.size(); ++v) { // vertex 0 of the copy is `shared`
    auto p = one.points[v];
    p[0] += 1.0f;
    p[1] += 1.0f;
    both.points.push_back(p);
    both.regions.push_back(1);
  }
  for (std::size_t v = 0; v < one.points.size(); ++v)
    both.regions[v] = 0;
  for (const auto& t : one.triangles) {
    std::array<std::uint32_t, 3> moved{};
    for (int c = 0; c < 3; ++c)
      moved[c] = t[c] == 0 ? shared : t[c] + offset;
    both.triangles.push_back(moved);
  }
  return both;
}

struct GoldenRun {
  const char* name;
  std::function<GeneratedMesh()> mesh;
  const char* extension;
  std::vector<std::string> arguments; // after the mesh path
  std::uint64_t labelHash;
};

GeneratedMesh sphere(std::size_t vertices, int classes) {
  return generator::makeIcosphere(vertices, classes);
}

const std::vector<GoldenRun>& goldenRuns() {
  static const std::vector<GoldenRun> runs{
      {"GridObjK3",
       [] { return generator::makeGrid(900, 3); },
       ".obj",
       {"3", "3", "50", "--seed", "1"},
       0xad1d862ed9b26fe9ULL},
      {"GridObjK3Refined",
       [] { return generator::makeGrid(900, 3); },
       ".obj",
       {"3", "3", "50", "--seed", "1", "--refine"},
       0xa5641ae11c82c1d4ULL},
      {"GridObjK2",
       [] { return generator::makeGrid(2500, 2); },
       ".obj",
       {"2", "3", "50", "--seed", "3"},
       0x6fa3a8cb40fac7e1ULL},
      {"GridOffK5",
       [] { return generator::makeGrid(10000, 5); },
       ".off",
       {"5", "3", "50", "--seed", "4"},
       0x88dcf6f851c5c51dULL},
      {"GridOffK5Refined",
       [] { return generator::makeGrid(10000, 5); },
       ".off",
       {"5", "3", "50", "--seed", "4", "--refine"},
       0x18085413fbe44b81ULL},
      {"SpherePlyK3",
       [] { return sphere(2562, 3); },
       ".ply",
       {"3", "3", "50", "--seed", "5"},
       0x2f6491e2eb5a1ebcULL},
      {"SpherePlyK5Refined",
       [] { return sphere(2562, 5); },
       ".ply",
       {"5", "3", "50", "--seed", "6", "--refine"},
       0xd9db5aefebac2902ULL},
      {"SphereObjK5",
       [] { return sphere(40962, 5); },
       ".obj",
       {"5", "3", "50", "--seed", "7"},
       0xc29d71501cedabfcULL},
      {"SphereOffK3Refined",
       [] { return sphere(40962, 3); },
       ".off",
       {"3", "3", "50", "--seed", "8", "--refine"},
       0x5021b1b1e5848bd0ULL},
      {"SphereObjK2",
       [] { return sphere(10242, 2); },
       ".obj",
       {"2", "0", "20", "--seed", "9"},
       0xe58bf8231b3d55e7ULL},
      {"RepairedObjK2",
       [] { return pinchedGrids(30); },
       ".obj",
       {"2", "3", "50", "--seed", "10", "--repair"},
       0xe362e3e69e9b40e8ULL},
      {"RepairedObjK3Refined",
       [] { return pinchedGrids(30); },
       ".obj",
       {"3", "3", "50", "--seed", "11", "--repair", "--refine"},
       0x43890cd7b0afdcb7ULL},
  };
  return runs;
}

/// Writes the run's mesh and attribute file, runs vornel with the run's
/// arguments plus `extra`, and returns the label file's bytes.
std::string labelsOf(const GoldenRun& run, const std::vector<std::string>& extra = {}) {
  TempFolder folder;
  const GeneratedMesh mesh = run.mesh();
  const std::string path = folder.file(std::string("mesh") + run.extension);
  const std::string extension = run.extension;
  if (extension == ".obj")
    generator::writeObj(mesh, path);
  else if (extension == ".off")
    generator::writeOff(mesh, path);
  else
    writePly(mesh, path);
  generator::writeAttributes(mesh.regions, 0.45, 2024, folder.file("mesh_attribute.att"));
  std::vector<std::string> arguments{path};
  arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  const CommandResult result = runVornel(arguments);
  EXPECT_EQ(result.exitStatus, 0) << run.name << ": " << result.err;
  EXPECT_TRUE(result.out.empty()) << run.name << ": " << result.out;
  return readFile(folder.file("mesh_labels.lb"));
}

TEST(GoldenRuns, LabelFilesOfSeededRunsAreUnchanged) {
  for (const GoldenRun& run : goldenRuns())
    EXPECT_EQ(hex(fnv1a(labelsOf(run))), hex(run.labelHash)) << run.name;
}

TEST(GoldenRuns, LabelFilesAreTheSameOnEveryThreadCount) {
  for (const GoldenRun& run : goldenRuns())
    for (const char* threads : {"1", "2", "3", "8"})
      EXPECT_EQ(hex(fnv1a(labelsOf(run, {"--threads", threads}))), hex(run.labelHash))
          << run.name << " on " << threads << " threads";
}

} // namespace
} // namespace vornel::testing
