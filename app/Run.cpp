#include "app/Run.hpp"

#include "app/FileNames.hpp"
#include "app/ResourceUsage.hpp"
#include "app/Segmentation.hpp"
#include "app/Stopwatch.hpp"
#include "mesh/io/AtomicFile.hpp"
#include "mesh/io/ColouredMeshWriter.hpp"
#include "mesh/Errors.hpp"
#include "mesh/io/MeshFormat.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/repair/MeshRepair.hpp"
#include "mesh/io/OriginalVertices.hpp"
#include "mesh/io/SoupInput.hpp"

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace vornel {

namespace {

bool fileOpens(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file)
    return false;
  std::fclose(file);
  return true;
}

std::string number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return buffer;
}

/// The mesh as built, and how its vertices relate to the input file's.
struct InputMesh {
  LabeledMesh mesh;
  std::size_t originalCount = 0;          // the input's vertices, first in the mesh
  std::vector<std::uint32_t> originalOf;  // built vertex -> input vertex; empty when not repaired
  std::vector<Point3> inputPositions;     // kept only for the coloured mesh
};

/// The ordinary reading; a mesh the halfedge structure cannot hold is refused
/// with a hint at --repair.
void readWholeMesh(const std::string& path, LabeledMesh& mesh) {
  try {
    readMeshFile(path, mesh);
  } catch (const NonManifoldError& error) {
    throw NonManifoldError(std::string(error.what()) + "; --repair splits non-manifold vertices");
  }
}

/// A mesh that builds as it is stays untouched; otherwise the repaired soup is
/// built and the repair summarised.
void readRepairedMesh(const std::string& path, InputMesh& input, const WarningSink& warn) {
  const PolygonSoup soup = readSoupFile(path);
  try {
    buildSurface(soup, input.mesh, path);
    return;
  } catch (const InvalidInputError&) {
    // repaired below: split vertices, turned or dropped facets
  }
  RepairedSoup repaired = repairSoup(soup);
  buildSurface(repaired.soup, input.mesh, path);
  warn(describeRepair(repaired.summary, path));
  input.originalCount = repaired.originalCount;
  input.originalOf = std::move(repaired.originalOf);
}

std::vector<Point3> firstPositions(const LabeledMesh& mesh, std::size_t count) {
  std::vector<Point3> positions;
  positions.reserve(count);
  for (auto v = mesh.surface.vertices_begin();
       v != mesh.surface.vertices_end() && positions.size() < count; ++v)
    positions.push_back(v->point());
  return positions;
}

void readMesh(const RunOptions& options, InputMesh& input, const WarningSink& warn,
              RunReport& report) {
  Stopwatch stopwatch;
  LabeledMesh& mesh = input.mesh;
  if (options.repair)
    readRepairedMesh(options.meshPath, input, warn);
  else
    readWholeMesh(options.meshPath, mesh);
  if (mesh.vertexCount() == 0)
    throw InvalidInputError(options.meshPath + ": the mesh has no vertices");
  if (input.originalOf.empty())
    input.originalCount = mesh.vertexCount();
  report.stageDone("reading " + options.meshPath, stopwatch.lap());
  report.note(std::to_string(mesh.vertexCount()) + " vertices, " +
              std::to_string(mesh.surface.size_of_facets()) + " facets, " +
              std::to_string(mesh.surface.size_of_halfedges() / 2) + " edges");
  // Normalisation moves the positions; the coloured mesh keeps the input's.
  if (!options.colourMeshPath.empty())
    input.inputPositions = firstPositions(mesh, input.originalCount);
  prepareGeometry(mesh);
  report.stageDone("geometry preparation", stopwatch.lap());
}

void readValues(InputMesh& input, const RunOptions& options, const std::string& attributeFile,
                const WarningSink& warn, RunReport& report) {
  Stopwatch stopwatch;
  LabeledMesh& mesh = input.mesh;
  mesh.attributeFileName = attributeFile;
  const std::size_t extra =
      input.originalOf.empty()
          ? mesh.readAttributes(attributeFile)
          : readAttributesOfOriginals(mesh, input.originalCount, input.originalOf, attributeFile);
  report.stageDone("reading " + attributeFile, stopwatch.lap());
  report.note("attribute range " + number(mesh.attributeMin) + " .. " + number(mesh.attributeMax));
  if (extra == 0)
    return;
  std::string message = attributeFile + " holds " + std::to_string(extra) +
                        " more values than the mesh has vertices; they are ignored";
  if (meshFormatOf(options.meshPath) == MeshFormat::Off)
    message += " (the OFF input drops vertices that no facet uses; the file may list values "
               "for them)";
  warn(message);
}

/// The coloured mesh goes to its temporary file before the label file is
/// written, so that a failure to write it leaves no label file either; the
/// caller puts it in place once the label file is.
std::unique_ptr<StagedFile> stageColouredMesh(const std::string& path, InputMesh& input) {
  if (path.empty())
    return nullptr;
  const ColouredMesh coloured =
      colouredMeshOf(input.mesh, std::move(input.inputPositions), input.originalOf);
  return std::make_unique<StagedFile>(
      path, colouredMeshBytes(coloured, colouredMeshFormatOf(path)), "coloured mesh");
}

void writeOutputs(const RunOptions& options, const std::string& labelFile, InputMesh& input,
                  RunReport& report) {
  Stopwatch stopwatch;
  const std::unique_ptr<StagedFile> colouredMesh =
      stageColouredMesh(options.colourMeshPath, input);
  if (input.originalOf.empty())
    input.mesh.writeLabels(labelFile);
  else
    writeLabelsOfOriginals(input.mesh, input.originalCount, labelFile);
  if (colouredMesh)
    colouredMesh->commit();
  report.stageDone("writing " + labelFile +
                       (colouredMesh ? " and " + options.colourMeshPath : std::string()),
                   stopwatch.lap());
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

  InputMesh input;
  LabeledMesh& mesh = input.mesh;
  readMesh(options, input, warn, sink);
  readValues(input, options, files.attributeFile, warn, sink);

  Stopwatch stopwatch;
  const VertexGraph graph = buildVertexGraph(mesh);
  sink.stageDone("ring adjacency", stopwatch.lap());
  const unsigned clockSeed = static_cast<unsigned>(std::time(nullptr));
  SegmentationResult result =
      segment(graph, vertexFeature(mesh, 0), options.segmentation, clockSeed, &sink);
  for (const std::string& warning : result.warnings)
    warn(warning);

  storeLabels(mesh, result.labels);
  mesh.classCount = static_cast<std::int32_t>(result.means.size());
  writeOutputs(options, files.labelFile, input, sink);
  const ResourceUsage usage = currentResourceUsage();
  sink.note("total " + number(total.total()) + " s (cpu " + number(usage.processorSeconds) +
            " s), peak resident size " + megabytes(usage.peakResidentBytes));
  return true;
}

} // namespace vornel
