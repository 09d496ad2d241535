#include "mesh/io/MeshReading.hpp"

#include "core/Errors.hpp"
#include "mesh/build/SoupValidation.hpp"
#include "mesh/build/SurfaceBuilder.hpp"
#include "mesh/io/MeshFormat.hpp"
#include "mesh/io/ObjParser.hpp"
#include "mesh/io/OffReader.hpp"
#include "mesh/io/PlyReader.hpp"
#include "mesh/io/StlReader.hpp"
#include "mesh/io/VertexPropertyError.hpp"

#include <limits>
#include <numeric>

namespace vornel {
namespace {

constexpr const char* repairHint = "; --repair splits non-manifold vertices and turns or drops "
                                   "the facets that do not fit";

[[noreturn]] void refuse(const PolygonSoup& soup, const SoupProblem& problem,
                         const std::string& sourceName) {
  const std::string message = describeSoupProblem(soup, problem, sourceName);
  if (problem.nonManifold) {
    throw NonManifoldError(message + repairHint);
  }
  throw InvalidInputError(message);
}

CheckedSoup finish(PolygonSoup soup, const std::optional<SoupProblem>& problem,
                   SoupTopology&& topology, const std::string& sourceName,
                   const ReadOptions& options) {
  CheckedSoup checked;
  checked.originalCount = soup.points.size();
  if (!problem) {
    checked.soup = std::move(soup);
    checked.topology = std::move(topology);
    return checked;
  }
  if (!options.repair) {
    refuse(soup, *problem, sourceName);
  }
  RepairedSoup repaired = repairSoup(soup);
  soup = {};
  if (const auto left = findSoupProblem(repaired.soup, &checked.topology)) {
    throw InvalidInputError("the repair of " + sourceName +
                            " left a facet the surface cannot "
                            "hold: " +
                            describeSoupProblem(repaired.soup, *left, sourceName));
  }
  checked.soup = std::move(repaired.soup);
  checked.originalOf = std::move(repaired.originalOf);
  checked.repair = repaired.summary;
  return checked;
}

} // namespace

PolygonSoup readSoupFile(const std::string& path) {
  switch (meshFormatOf(path)) {
  case MeshFormat::Ply:
    return readPlySoup(path);
  case MeshFormat::Obj:
    return readObjSoup(path);
  case MeshFormat::Stl:
    return readStlSoup(path).soup;
  case MeshFormat::Off:
    break;
  }
  return readOffSoup(path);
}

namespace {

/// The format's reader, with the PLY vertex property that values names and
/// for STL the weld of its corners.
PolygonSoup readFormatSoup(const std::string& path, MeshFormat format, PlyVertexValues& values,
                           std::optional<CornerWeld>& weld) {
  if (!values.property.empty() && format != MeshFormat::Ply) {
    throw VertexPropertyError("the vertex property \"" + values.property +
                              "\" can only come from a PLY mesh; " + path + " is read as " +
                              meshFormatName(format) + ", whose vertices carry no properties");
  }
  if (format == MeshFormat::Stl) {
    StlSoup stl = readStlSoup(path);
    weld = stl.weld;
    return std::move(stl.soup);
  }
  return values.property.empty() ? readSoupFile(path) : readPlySoup(path, &values);
}

} // namespace

void dropUnusedPoints(PolygonSoup& soup, SoupTopology& topology) {
  constexpr std::uint32_t unused = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> newIndex(soup.points.size(), unused);
  for (const std::uint32_t corner : soup.corners) {
    newIndex[corner] = 0;
  }
  std::uint32_t next = 0;
  for (std::size_t p = 0; p < soup.points.size(); ++p) {
    if (newIndex[p] != unused) {
      newIndex[p] = next;
      soup.points[next++] = soup.points[p];
    }
  }
  if (next == soup.points.size()) {
    return;
  }
  soup.points.resize(next);
  soup.points.shrink_to_fit();
  for (std::uint32_t& corner : soup.corners) {
    corner = newIndex[corner];
  }
  for (std::uint32_t& vertex : topology.pinchedVertices) {
    vertex = newIndex[vertex]; // the order stays: the renumbering keeps the points' order
  }
}

CheckedSoup readCheckedSoup(const std::string& path, const ReadOptions& options) {
  const MeshFormat format = meshFormatOf(path);
  PlyVertexValues values{options.vertexProperty, {}};
  std::optional<CornerWeld> weld;
  PolygonSoup soup = readFormatSoup(path, format, values, weld);
  SoupTopology topology;
  std::optional<SoupProblem> problem = findSoupProblem(soup, &topology);
  if (format == MeshFormat::Off) {
    // Problems name vertices as the file does, so they are found before this.
    if (!problem || options.repair) {
      dropUnusedPoints(soup, topology);
    }
    if (soup.points.empty()) {
      throw InvalidInputError(path + ": the OFF mesh is empty: no vertex belongs to a facet");
    }
  }
  if (format == MeshFormat::Stl && problem && !problem->nonManifold) {
    // Every STL facet has three corners in range: what else is wrong is a
    // repeated vertex, two corners welded together.
    problem->reason += ": two of its corners have equal coordinates; --repair drops such facets";
  }
  CheckedSoup checked = finish(std::move(soup), problem, std::move(topology), path, options);
  checked.vertexValues = std::move(values.values);
  checked.weld = weld;
  return checked;
}

CheckedSoup checkSoup(PolygonSoup soup, const std::string& sourceName, const ReadOptions& options) {
  SoupTopology topology;
  const std::optional<SoupProblem> problem = findSoupProblem(soup, &topology);
  return finish(std::move(soup), problem, std::move(topology), sourceName, options);
}

void buildCheckedSoup(CheckedSoup&& checked, LabeledMesh& mesh) {
  buildValidatedSurface(std::move(checked.soup), std::move(checked.topology), mesh);
}

} // namespace vornel
