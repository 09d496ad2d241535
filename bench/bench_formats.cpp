// PLY input (binary and ASCII), binary STL input (its corners welded), soup
// repair and the coloured-mesh bytes on a generated grid of about 250 000
// vertices.

#include "MeshGenerator.hpp"

#include "mesh/io/ColouredMeshWriter.hpp"
#include "mesh/io/PlyReader.hpp"
#include "mesh/io/StlReader.hpp"
#include "mesh/repair/MeshRepair.hpp"

#include <benchmark/benchmark.h>

#include <cstring>
#include <sstream>

namespace {

using vornel::generator::GeneratedMesh;

const GeneratedMesh& grid() {
  static const GeneratedMesh mesh = vornel::generator::makeGrid(250000, 3);
  return mesh;
}

std::string plyBytes(bool binary) {
  const GeneratedMesh& mesh = grid();
  std::ostringstream out;
  out << "ply\nformat " << (binary ? "binary_little_endian" : "ascii") << " 1.0\nelement vertex "
      << mesh.points.size()
      << "\nproperty float x\nproperty float y\nproperty float z\nelement face "
      << mesh.triangles.size() << "\nproperty list uchar int vertex_indices\nend_header\n";
  for (const auto& p : mesh.points) {
    if (binary)
      out.write(reinterpret_cast<const char*>(p.data()), 12); // little-endian host
    else
      out << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
  }
  for (const auto& t : mesh.triangles) {
    if (binary) {
      out.put(3);
      out.write(reinterpret_cast<const char*>(t.data()), 12);
    } else {
      out << "3 " << t[0] << ' ' << t[1] << ' ' << t[2] << '\n';
    }
  }
  return out.str();
}

std::string stlBytes() {
  const GeneratedMesh& mesh = grid();
  std::string bytes(80, ' ');
  const auto count = static_cast<std::uint32_t>(mesh.triangles.size());
  bytes.append(reinterpret_cast<const char*>(&count), 4); // little-endian host
  for (const auto& t : mesh.triangles) {
    bytes.append(12, '\0');
    for (const std::uint32_t v : t)
      bytes.append(reinterpret_cast<const char*>(mesh.points[v].data()), 12);
    bytes.append(2, '\0');
  }
  return bytes;
}

vornel::PolygonSoup gridSoup() {
  vornel::PolygonSoup soup;
  for (const auto& p : grid().points)
    soup.points.emplace_back(p[0], p[1], p[2]);
  for (const auto& t : grid().triangles) {
    soup.corners.insert(soup.corners.end(), t.begin(), t.end());
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
  }
  return soup;
}

void BM_ParseBinaryPly(benchmark::State& state) {
  const std::string bytes = plyBytes(true);
  for (auto _ : state)
    benchmark::DoNotOptimize(vornel::parsePly(bytes, "grid.ply"));
}

// The same mesh as BM_ParseBinaryPly, each triangle with its own corners.
void BM_ParseBinaryStl(benchmark::State& state) {
  const std::string bytes = stlBytes();
  for (auto _ : state)
    benchmark::DoNotOptimize(vornel::parseStl(bytes, "grid.stl"));
}

void BM_ParseAsciiPly(benchmark::State& state) {
  const std::string bytes = plyBytes(false);
  for (auto _ : state)
    benchmark::DoNotOptimize(vornel::parsePly(bytes, "grid.ply"));
}

void BM_RepairSoup(benchmark::State& state) {
  const vornel::PolygonSoup soup = gridSoup();
  for (auto _ : state)
    benchmark::DoNotOptimize(vornel::repairSoup(soup));
}

void BM_ColouredMeshBytes(benchmark::State& state) {
  const vornel::PolygonSoup soup = gridSoup();
  vornel::ColouredMesh mesh;
  mesh.positions = soup.points;
  mesh.facetOffsets = soup.facetOffsets;
  mesh.corners = soup.corners;
  mesh.classCount = 3;
  for (std::size_t v = 0; v < soup.points.size(); ++v) {
    mesh.labels.push_back(static_cast<std::int32_t>(grid().regions[v]));
    mesh.values.push_back(static_cast<float>(v % 100) / 10.0f);
  }
  const auto format =
      state.range(0) == 0 ? vornel::ColouredMeshFormat::Ply : vornel::ColouredMeshFormat::Off;
  for (auto _ : state)
    benchmark::DoNotOptimize(vornel::colouredMeshBytes(mesh, format));
}

} // namespace

BENCHMARK(BM_ParseBinaryPly)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ParseBinaryStl)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ParseAsciiPly)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_RepairSoup)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ColouredMeshBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK_MAIN();
