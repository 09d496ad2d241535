#include "app/Run.hpp"

#include "app/FileNames.hpp"
#include "app/Segmentation.hpp"
#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"

#include <cstdio>
#include <ctime>

namespace vornel {

namespace {

bool fileOpens(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file)
    return false;
  std::fclose(file);
  return true;
}

bool readAsObj(const std::string& path) {
  std::string ending = path.size() < 3 ? path : path.substr(path.size() - 3);
  for (char& c : ending)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ending == "obj";
}

void readValues(LabeledMesh& mesh, const RunOptions& options, const std::string& attributeFile,
                const WarningSink& warn) {
  mesh.attributeFileName = attributeFile;
  const std::size_t extra = mesh.readAttributes(attributeFile);
  if (extra == 0)
    return;
  std::string message = attributeFile + " holds " + std::to_string(extra) +
                        " more values than the mesh has vertices; they are ignored";
  if (!readAsObj(options.meshPath))
    message += " (the OFF input drops vertices that no facet uses; the file may list values "
               "for them)";
  warn(message);
}

} // namespace

std::string missingFileMessage(const std::string& path) {
  return "The file " + path + " n'existe pas!does not exist\n\n";
}

bool runOnFiles(const RunOptions& options, const WarningSink& warn) {
  if (!fileOpens(options.meshPath)) {
    std::fputs(missingFileMessage(options.meshPath).c_str(), stdout);
    return false;
  }
  const CompanionFiles files = deriveCompanionFiles(options.meshPath);

  LabeledMesh mesh;
  readMeshFile(options.meshPath, mesh);
  if (mesh.vertexCount() == 0)
    throw InvalidInputError(options.meshPath + ": the mesh has no vertices");
  prepareGeometry(mesh);
  readValues(mesh, options, files.attributeFile, warn);

  const VertexGraph graph = buildVertexGraph(mesh);
  const unsigned clockSeed = static_cast<unsigned>(std::time(nullptr));
  SegmentationResult result = segment(graph, vertexFeature(mesh, 0), options.segmentation, clockSeed);
  for (const std::string& warning : result.warnings)
    warn(warning);

  storeLabels(mesh, result.labels);
  mesh.classCount = static_cast<std::int32_t>(result.means.size());
  mesh.writeLabels(files.labelFile);
  return true;
}

} // namespace vornel
