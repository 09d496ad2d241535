#include "MeshFiles.hpp"

#include "core/Errors.hpp"
#include "mesh/io/AttributeFile.hpp"
#include "mesh/io/LabelFile.hpp"
#include "mesh/io/MeshReading.hpp"
#include "mesh/io/OutputFiles.hpp"

#include <numeric>
#include <utility>

namespace vornel::python {
namespace {

MeshArrays arraysOf(PolygonSoup&& soup) {
  MeshArrays mesh;
  mesh.coordinates.reserve(3 * soup.points.size());
  for (const Point3& p : soup.points)
    mesh.coordinates.insert(mesh.coordinates.end(), {p.x(), p.y(), p.z()});
  mesh.corners = std::move(soup.corners);
  mesh.facetOffsets = std::move(soup.facetOffsets);
  return mesh;
}

/// The command line's refusal, with the module's way to ask for repair.
[[noreturn]] void refuseWithHint(const NonManifoldError& error) {
  const std::string message = error.what();
  throw NonManifoldError(message.substr(0, message.rfind("; --repair")) +
                         "; read_mesh(..., repair=True) splits non-manifold vertices and turns or "
                         "drops the facets that do not fit");
}

} // namespace

MeshFileContent loadMesh(const std::string& path, bool repair) {
  CheckedSoup checked;
  try {
    checked = readCheckedSoup(path, ReadOptions{repair, {}});
  } catch (const NonManifoldError& error) {
    refuseWithHint(error);
  }
  MeshFileContent content;
  if (checked.repair)
    content.warnings.push_back(describeRepair(*checked.repair, path));
  if (repair) {
    content.originalOf = std::move(checked.originalOf);
    if (content.originalOf.empty()) { // nothing needed repair: every vertex is its own
      content.originalOf.resize(checked.soup.points.size());
      std::iota(content.originalOf.begin(), content.originalOf.end(), 0u);
    }
  }
  content.mesh = arraysOf(std::move(checked.soup));
  return content;
}

AttributeFileContent loadAttributes(const std::string& path, std::size_t count) {
  const AttributeValues read = readAttributeFile(path, count);
  return {std::vector<double>(read.values.begin(), read.values.end()), read.extra};
}

void saveLabels(const std::string& path, const std::vector<std::int32_t>& labels,
                std::int32_t classCount) {
  writeOutputFile(path, labelFileText(classCount, labels.data(), labels.size()), "label file");
}

} // namespace vornel::python
