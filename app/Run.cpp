#include "app/Run.hpp"

#include "app/FileNames.hpp"
#include "app/Segmentation.hpp"
#include "app/Stopwatch.hpp"
#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"

#include <cctype>
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

std::string number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return buffer;
}

void readMesh(const RunOptions& options, LabeledMesh& mesh, RunReport& report) {
  Stopwatch stopwatch;
  readMeshFile(options.meshPath, mesh);
  if (mesh.vertexCount() == 0)
    throw InvalidInputError(options.meshPath + ": the mesh has no vertices");
  report.stageDone("reading " + options.meshPath, stopwatch.lap());
  report.note(std::to_string(mesh.vertexCount()) + " vertices, " +
              std::to_string(mesh.surface.size_of_facets()) + " facets, " +
              std::to_string(mesh.surface.size_of_halfedges() / 2) + " edges");
  prepareGeometry(mesh);
  report.stageDone("geometry preparation", stopwatch.lap());
}

void readValues(LabeledMesh& mesh, const RunOptions& options, const std::string& attributeFile,
                const WarningSink& warn, RunReport& report) {
  Stopwatch stopwatch;
  mesh.attributeFileName = attributeFile;
  const std::size_t extra = mesh.readAttributes(attributeFile);
  report.stageDone("reading " + attributeFile, stopwatch.lap());
  report.note("attribute range " + number(mesh.attributeMin) + " .. " + number(mesh.attributeMax));
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

bool runOnFiles(const RunOptions& options, const WarningSink& warn, RunReport* report) {
  if (!fileOpens(options.meshPath)) {
    std::fputs(missingFileMessage(options.meshPath).c_str(), stdout);
    return false;
  }
  RunReport silent;
  RunReport& sink = report ? *report : silent;
  const Stopwatch total;
  const CompanionFiles files = deriveCompanionFiles(options.meshPath);

  LabeledMesh mesh;
  readMesh(options, mesh, sink);
  readValues(mesh, options, files.attributeFile, warn, sink);

  Stopwatch stopwatch;
  const VertexGraph graph = buildVertexGraph(mesh);
  sink.stageDone("ring adjacency", stopwatch.lap());
  const unsigned clockSeed = static_cast<unsigned>(std::time(nullptr));
  SegmentationResult result =
      segment(graph, vertexFeature(mesh, 0), options.segmentation, clockSeed, &sink);
  for (const std::string& warning : result.warnings)
    warn(warning);

  stopwatch.lap();
  storeLabels(mesh, result.labels);
  mesh.classCount = static_cast<std::int32_t>(result.means.size());
  mesh.writeLabels(files.labelFile);
  sink.stageDone("writing " + files.labelFile, stopwatch.lap());
  sink.note("total " + number(total.total()) + " s");
  return true;
}

} // namespace vornel
