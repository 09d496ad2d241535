#include "app/Run.hpp"

#include "app/AttributeSource.hpp"
#include "app/FileNames.hpp"
#include "app/ResourceUsage.hpp"
#include "app/Segmentation.hpp"
#include "app/Stopwatch.hpp"
#include "app/report/ReportOutput.hpp"
#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/curvature/Curvature.hpp"
#include "mesh/io/AttributeFile.hpp"
#include "mesh/io/ColouredMeshWriter.hpp"
#include "mesh/io/LabelFile.hpp"
#include "mesh/io/MeshFormat.hpp"
#include "mesh/io/MeshReading.hpp"
#include "mesh/io/OriginalVertices.hpp"
#include "mesh/io/OutputFiles.hpp"
#include "mesh/io/VertexPropertyError.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

namespace vornel {

namespace {

/// False when the mesh file does not exist; throws IOError naming the reason
/// when it exists but cannot be opened. Opens without blocking, so that a
/// FIFO cannot hold the run up.
bool meshFileExists(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor >= 0) {
    ::close(descriptor);
    return true;
  }
  if (errno == ENOENT || errno == ENOTDIR) {
    return false;
  }
  throw IOError("cannot open mesh " + path + ": " + std::strerror(errno));
}

std::string number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return buffer;
}

/// The mesh as built, and how its vertices relate to the input file's.
struct InputMesh {
  LabeledMesh mesh;
  std::size_t originalCount = 0;         // the input's vertices, first in the mesh
  std::vector<std::uint32_t> originalOf; // built vertex -> input vertex; empty when not repaired
  /// The values when they do not come from a file, per input vertex (a vertex
  /// property or computed).
  std::vector<float> values;
};

/// The paths a run reads and writes.
struct RunFiles {
  AttributeSource attributes;
  std::string companionAttributeFile;
  std::string labelFile;
};

RunFiles runFilesOf(const RunOptions& options) {
  const CompanionFiles companions = deriveCompanionFiles(options.meshPath);
  return {attributeSourceOf(options, companions.attributeFile), companions.attributeFile,
          options.labelFilePath.empty() ? companions.labelFile : options.labelFilePath};
}

std::vector<OutputFiles::Input> inputsOf(const RunOptions& options, const RunFiles& files) {
  std::vector<OutputFiles::Input> inputs{{options.meshPath, "mesh"}};
  if (files.attributes.kind == AttributeSource::Kind::File)
    inputs.push_back({files.attributes.path, "attribute file"});
  // Computed values that are not written: the warning promises that the
  // existing companion is left as it is, so no output may take its place.
  if (files.attributes.kind == AttributeSource::Kind::Computed && files.attributes.path.empty())
    inputs.push_back({files.companionAttributeFile, "attribute file"});
  return inputs;
}

/// Every output, checked and with its temporary file, before anything is computed.
struct RunOutputs {
  explicit RunOutputs(const RunOptions& options, const RunFiles& files)
      : files(inputsOf(options, files)) {
    labels = this->files.declare(files.labelFile, "label file");
    if (!options.segmentsPath.empty())
      segments = this->files.declare(options.segmentsPath, "segments file");
    if (files.attributes.kind == AttributeSource::Kind::Computed &&
        !files.attributes.path.empty()) {
      // Checked to be new before the run; one created meanwhile is not replaced either.
      attributes = this->files.declare(files.attributes.path, "attribute file",
                                       OutputFiles::Placement::NeverReplace);
    }
    if (!options.colourMeshPath.empty()) {
      colouredMesh = this->files.declare(options.colourMeshPath, "coloured mesh");
    }
    if (!options.reportPath.empty()) {
      report = this->files.declare(options.reportPath, "report");
    }
  }
  OutputFiles files;
  std::size_t labels = 0;
  std::optional<std::size_t> segments;
  std::optional<std::size_t> colouredMesh;
  std::optional<std::size_t> report;
  std::optional<std::size_t> attributes; // computed values written as an attribute file
};

std::vector<Point3> firstPositions(const LabeledMesh& mesh, std::size_t count) {
  std::vector<Point3> positions;
  positions.reserve(count);
  for (auto v = mesh.surface.vertices_begin();
       v != mesh.surface.vertices_end() && positions.size() < count; ++v)
    positions.push_back(v->point());
  return positions;
}

/// The measure's value at every input vertex (the first originalCount of the
/// soup), each rounded to float as an attribute file's value is, so that a run
/// on the written file agrees. Copies made by the repair are left out: they take
/// their input vertex's value, as they do from an attribute file. A value that
/// does not fit a float (curvature grows as the mesh shrinks) is refused.
std::vector<float> computedValues(CurvatureMeasure measure, const PolygonSoup& soup,
                                  std::size_t originalCount, const std::string& meshPath) {
  const std::vector<double> values = computeCurvature(measure, soup);
  std::vector<float> rounded(values.begin(), values.begin() + originalCount);
  for (std::size_t v = 0; v < rounded.size(); ++v)
    if (!std::isfinite(rounded[v]))
      throw InvalidInputError(
          meshPath + ": the mesh's scale puts its curvature out of single precision (" +
          curvatureMeasureName(measure) + " " + number(values[v]) + " at vertex " +
          std::to_string(v) + ", numbered from 0); scale the mesh up");
  return rounded;
}

/// The mesh's soup; a vertex property the mesh cannot give is the fault of
/// --attribute-property, so a usage error with the reader's message.
CheckedSoup readInputSoup(const RunOptions& options) {
  try {
    return readCheckedSoup(options.meshPath,
                           ReadOptions{options.repair, options.attributeProperty});
  } catch (const VertexPropertyError& error) {
    throw UsageError(error.what());
  }
}

void readMesh(const RunOptions& options, InputMesh& input, const WarningSink& warn,
              RunReport& report) {
  Stopwatch stopwatch;
  CheckedSoup checked = readInputSoup(options);
  if (checked.soup.points.empty())
    throw InvalidInputError(options.meshPath + ": the mesh has no vertices");
  if (checked.repair)
    warn(describeRepair(*checked.repair, options.meshPath));
  input.originalCount = checked.originalCount;
  input.originalOf = std::move(checked.originalOf);
  input.values = std::move(checked.vertexValues);
  const std::optional<CornerWeld> weld = checked.weld;
  if (options.computedAttribute) {
    // On the input positions, before the surface takes the soup over.
    input.values = computedValues(*options.computedAttribute, checked.soup, input.originalCount,
                                  options.meshPath);
    report.stageDone(std::string("computing ") + curvatureMeasureName(*options.computedAttribute),
                     stopwatch.lap());
  }
  LabeledMesh& mesh = input.mesh;
  buildCheckedSoup(std::move(checked), mesh);
  report.stageDone("reading " + options.meshPath, stopwatch.lap());
  report.note(std::to_string(mesh.vertexCount()) + " vertices, " +
              std::to_string(mesh.surface.size_of_facets()) + " facets, " +
              std::to_string(mesh.surface.size_of_halfedges() / 2) + " edges");
  if (weld)
    report.note(describeCornerWeld(*weld));
  // No geometry preparation (unit box, normals): no stage and no output of a
  // run reads it, and the positions stay the input's for the coloured mesh.
}

void noteRange(const std::vector<float>& values, RunReport& report) {
  const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
  report.note("attribute range " + number(*lowest) + " .. " + number(*highest));
}

void readValues(InputMesh& input, const RunOptions& options, const RunFiles& files,
                const WarningSink& warn, RunReport& report) {
  Stopwatch stopwatch;
  LabeledMesh& mesh = input.mesh;
  if (files.attributes.kind == AttributeSource::Kind::Computed) {
    storeValuesOfOriginals(mesh, input.values, input.originalOf); // computed per input vertex
    noteRange(input.values, report);
    if (files.attributes.path.empty())
      warn(files.companionAttributeFile +
           " exists and is left as it is: the computed values "
           "are not written (give --attribute-file to write them to a new file)");
    return;
  }
  if (files.attributes.kind == AttributeSource::Kind::VertexProperty) {
    storeValuesOfOriginals(mesh, input.values, input.originalOf);
    noteRange(input.values, report);
    return;
  }
  const std::string& attributeFile = files.attributes.path;
  mesh.attributeFileName = attributeFile;
  const AttributeValues values = readAttributeFile(attributeFile, input.originalCount);
  storeValuesOfOriginals(mesh, values.values, input.originalOf);
  report.stageDone("reading " + attributeFile, stopwatch.lap());
  noteRange(values.values, report);
  if (values.extra == 0)
    return;
  std::string message = describeExtraValues(attributeFile, values);
  if (meshFormatOf(options.meshPath) == MeshFormat::Off)
    message += " (the OFF input drops vertices that no facet uses; the file may list values "
               "for them)";
  warn(message);
}

/// The segments of the input's vertices. They come first in the built mesh, so
/// the segments that hold one of them are numbered 0 .. count-1 before any
/// segment of vertices the repair added.
std::vector<std::int32_t> segmentsOfOriginals(std::vector<std::int32_t> segments,
                                              std::size_t originalCount) {
  segments.resize(originalCount);
  return segments;
}

void writeOutputs(const RunOptions& options, const RunFiles& files, InputMesh& input,
                  const std::vector<std::int32_t>& segments, RunOutputs& outputs, RunReport& report,
                  ReportCollector* reportCollector) {
  Stopwatch stopwatch;
  if (outputs.segments) {
    const std::int32_t count =
        segments.empty() ? 0 : *std::max_element(segments.begin(), segments.end()) + 1;
    outputs.files.write(*outputs.segments, labelFileText(count, segments.data(), segments.size()));
  }
  if (outputs.colouredMesh || outputs.report) {
    ColouredMesh coloured = colouredMeshOf(
        input.mesh, firstPositions(input.mesh, input.originalCount), input.originalOf);
    coloured.segments = segments;
    if (outputs.colouredMesh)
      outputs.files.write(
          *outputs.colouredMesh,
          colouredMeshBytes(coloured, colouredMeshFormatOf(options.colourMeshPath)));
    if (outputs.report)
      outputs.files.write(*outputs.report,
                          reportPageBytes(options, *reportCollector, coloured,
                                          describeAttributeSource(files.attributes, options),
                                          files.labelFile));
  }
  if (outputs.attributes)
    outputs.files.write(*outputs.attributes,
                        attributeFileText(input.values.data(), input.originalCount));
  const std::vector<std::int32_t> labels = labelsOfOriginals(input.mesh, input.originalCount);
  outputs.files.write(outputs.labels,
                      labelFileText(input.mesh.classCount, labels.data(), labels.size()));
  outputs.files.commitAll();
  report.stageDone("writing " + files.labelFile +
                       (outputs.colouredMesh ? " and " + options.colourMeshPath : std::string()),
                   stopwatch.lap());
}

/// The whole run after the mesh file was found, on the arena's threads.
void runOnThreads(const RunOptions& options, const WarningSink& warnOnly, RunReport* report) {
  RunReport silent;
  // --report: a collector records every event and warning (and passes them on).
  ReportCollector reportCollector(report);
  const bool reporting = !options.reportPath.empty();
  RunReport& sink = reporting ? reportCollector : report ? *report : silent;
  const WarningSink warn = reporting ? reportCollector.recordingWarnings(warnOnly) : warnOnly;
  const Stopwatch total;
  const RunFiles files = runFilesOf(options);
  RunOutputs outputs(options, files);

  InputMesh input;
  LabeledMesh& mesh = input.mesh;
  readMesh(options, input, warn, sink);
  readValues(input, options, files, warn, sink);

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
  writeOutputs(options, files, input,
               segmentsOfOriginals(std::move(result.segments), input.originalCount), outputs, sink,
               reporting ? &reportCollector : nullptr);
  const ResourceUsage usage = currentResourceUsage();
  sink.note("total " + number(total.total()) + " s (cpu " + number(usage.processorSeconds) +
            " s), peak resident size " + megabytes(usage.peakResidentBytes));
}

} // namespace

std::string missingFileMessage(const std::string& path) {
  return "The file " + path + " n'existe pas!does not exist\n\n";
}

bool runOnFiles(const RunOptions& options, const WarningSink& warnOnly, RunReport* report) {
  if (!meshFileExists(options.meshPath)) {
    std::fputs(missingFileMessage(options.meshPath).c_str(), stdout);
    return false;
  }
  StageThreads(options.segmentation.threads).run([&] { runOnThreads(options, warnOnly, report); });
  return true;
}

} // namespace vornel
