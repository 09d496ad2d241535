#include "pipeline/FileRun.hpp"

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
#include "mesh/io/PlyReader.hpp"
#include "mesh/io/VertexPropertyError.hpp"
#include "pipeline/AttributeSource.hpp"
#include "pipeline/FileNames.hpp"
#include "pipeline/ResourceUsage.hpp"
#include "pipeline/RunRules.hpp"
#include "pipeline/Segmentation.hpp"
#include "pipeline/Stopwatch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>
#include <vector>

namespace vornel {

namespace {

/// Throws MissingMeshError when the mesh file does not exist, IOError naming
/// the reason when it exists but cannot be opened. Opens without blocking, so
/// that a FIFO cannot hold the run up.
void checkMeshFileOpens(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor >= 0) {
    ::close(descriptor);
    return;
  }
  if (errno == ENOENT || errno == ENOTDIR)
    throw MissingMeshError(path);
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
  /// Each feature's values per input vertex, in the order of the sources: a
  /// vertex property or computed values always, a file's values only when the
  /// run has several features.
  std::vector<std::vector<float>> features;
};

/// The paths a run reads and writes.
struct RunFiles {
  std::vector<AttributeSource> attributes; // one per feature
  std::string companionAttributeFile;
  std::string labelFile;
};

RunFiles runFilesOf(const RunOptions& options) {
  const CompanionFiles companions = deriveCompanionFiles(options.meshPath);
  return {attributeSourcesOf(options, companions.attributeFile), companions.attributeFile,
          options.labelFilePath.empty() ? companions.labelFile : options.labelFilePath};
}

std::vector<OutputFiles::Input> inputsOf(const RunOptions& options, const RunFiles& files) {
  std::vector<OutputFiles::Input> inputs{{options.meshPath, "mesh"}};
  for (const AttributeSource& source : files.attributes) {
    if (source.kind == AttributeSource::Kind::File)
      inputs.push_back({source.path, "attribute file"});
    // Computed values that are not written: the warning promises that the
    // existing companion is left as it is, so no output may take its place.
    if (source.companionKept)
      inputs.push_back({files.companionAttributeFile, "attribute file"});
  }
  return inputs;
}

/// Every feature's source, for the report.
std::string describeAttributeSources(const std::vector<AttributeSource>& sources) {
  std::string text;
  for (const AttributeSource& source : sources)
    text += (text.empty() ? "" : "; ") + describeAttributeSource(source);
  return text;
}

/// Every output, checked and with its temporary file, before anything is computed.
struct RunOutputs {
  explicit RunOutputs(const RunOptions& options, const RunFiles& files)
      : files(inputsOf(options, files)) {
    labels = this->files.declare(files.labelFile, "label file");
    if (!options.segmentsPath.empty())
      segments = this->files.declare(options.segmentsPath, "segments file");
    for (std::size_t k = 0; k < files.attributes.size(); ++k) {
      const AttributeSource& source = files.attributes[k];
      if (source.kind == AttributeSource::Kind::Computed && !source.path.empty()) {
        // Checked to be new before the run; one created meanwhile is not replaced either.
        attributes.push_back({this->files.declare(source.path, "attribute file",
                                                  OutputFiles::Placement::NeverReplace),
                              k});
      }
    }
    if (!options.colourMeshPath.empty()) {
      colouredMesh = this->files.declare(options.colourMeshPath, "coloured mesh");
    }
    if (!options.reportPath.empty()) {
      report = this->files.declare(options.reportPath, "report");
    }
  }
  /// The paths in the order the run reports them written: the label file first.
  std::vector<std::string> paths(const RunOptions& options, const RunFiles& runFiles) const {
    std::vector<std::string> written{runFiles.labelFile};
    if (segments)
      written.push_back(options.segmentsPath);
    for (const auto& [output, k] : attributes)
      written.push_back(runFiles.attributes[k].path);
    if (colouredMesh)
      written.push_back(options.colourMeshPath);
    if (report)
      written.push_back(options.reportPath);
    return written;
  }
  OutputFiles files;
  std::size_t labels = 0;
  std::optional<std::size_t> segments;
  std::optional<std::size_t> colouredMesh;
  std::optional<std::size_t> report;
  /// Computed values written as attribute files: the output, and the feature.
  std::vector<std::pair<std::size_t, std::size_t>> attributes;
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

/// The first vertex property among the sources, empty when there is none.
std::string firstVertexProperty(const std::vector<AttributeSource>& sources) {
  for (const AttributeSource& source : sources)
    if (source.kind == AttributeSource::Kind::VertexProperty)
      return source.property;
  return "";
}

/// The mesh's soup; a vertex property the mesh cannot give is the fault of
/// --attribute-property, so a usage error with the reader's message.
CheckedSoup readInputSoup(const RunOptions& options, const std::string& property) {
  try {
    return readCheckedSoup(options.meshPath, ReadOptions{options.repair, property});
  } catch (const VertexPropertyError& error) {
    throw UsageError(error.what());
  }
}

/// A further vertex property: the PLY file is parsed again for it, under the
/// same rules and messages as the first.
std::vector<float> readFurtherProperty(const std::string& path, const std::string& property) {
  PlyVertexValues values{property, {}};
  try {
    readPlySoup(path, &values);
  } catch (const VertexPropertyError& error) {
    throw UsageError(error.what());
  }
  return std::move(values.values);
}

/// The values of the sources that come with the mesh: vertex properties, and
/// computed measures on the input positions, before the surface takes the
/// soup over.
void readMeshFeatures(const RunOptions& options, const std::vector<AttributeSource>& sources,
                      CheckedSoup& checked, InputMesh& input, Stopwatch& stopwatch,
                      RunReport& report) {
  input.features.resize(sources.size());
  bool firstProperty = true;
  for (std::size_t k = 0; k < sources.size(); ++k) {
    const AttributeSource& source = sources[k];
    if (source.kind == AttributeSource::Kind::VertexProperty) {
      input.features[k] = firstProperty ? std::move(checked.vertexValues)
                                        : readFurtherProperty(options.meshPath, source.property);
      firstProperty = false;
    } else if (source.kind == AttributeSource::Kind::Computed) {
      tellProgress(options.segmentation.progress,
                   std::string("computing ") + curvatureMeasureName(source.measure));
      input.features[k] =
          computedValues(source.measure, checked.soup, input.originalCount, options.meshPath);
      report.stageDone(std::string("computing ") + curvatureMeasureName(source.measure),
                       stopwatch.lap());
    }
  }
}

void readMesh(const RunOptions& options, const RunFiles& files, InputMesh& input,
              const WarningSink& warn, RunReport& report) {
  Stopwatch stopwatch;
  const ProgressSink& progress = options.segmentation.progress;
  tellProgress(progress, "reading " + options.meshPath);
  CheckedSoup checked = readInputSoup(options, firstVertexProperty(files.attributes));
  const std::optional<CornerWeld> weld = checked.weld;
  if (checked.soup.points.empty())
    throw InvalidInputError(options.meshPath + ": the mesh has no vertices");
  if (checked.repair)
    warn(describeRepair(*checked.repair, options.meshPath));
  input.originalCount = checked.originalCount;
  input.originalOf = std::move(checked.originalOf);
  readMeshFeatures(options, files.attributes, checked, input, stopwatch, report);
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

/// "attribute range" with one feature, "range of feature k (NAME)" with several.
void noteRange(const std::vector<float>& values, const std::string& what, RunReport& report) {
  const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
  report.note(what + " " + number(*lowest) + " .. " + number(*highest));
}

std::string rangeName(const RunFiles& files, std::size_t k) {
  if (files.attributes.size() == 1)
    return "attribute range";
  return "range of feature " + std::to_string(k) + " (" + featureNameOf(files.attributes[k]) + ")";
}

/// Feature k's values from its attribute file; the first is put on the mesh.
std::vector<float> readFileFeature(InputMesh& input, const RunOptions& options,
                                   const RunFiles& files, std::size_t k, const WarningSink& warn,
                                   RunReport& report) {
  Stopwatch stopwatch;
  LabeledMesh& mesh = input.mesh;
  const std::string& attributeFile = files.attributes[k].path;
  if (k == 0)
    mesh.attributeFileName = attributeFile;
  tellProgress(options.segmentation.progress, "reading " + attributeFile);
  AttributeValues values = readAttributeFile(attributeFile, input.originalCount);
  if (k == 0)
    storeValuesOfOriginals(mesh, values.values, input.originalOf);
  report.stageDone("reading " + attributeFile, stopwatch.lap());
  noteRange(values.values, rangeName(files, k), report);
  if (values.extra > 0) {
    std::string message = describeExtraValues(attributeFile, values);
    if (meshFormatOf(options.meshPath) == MeshFormat::Off)
      message += " (the OFF input drops vertices that no facet uses; the file may list values "
                 "for them)";
    warn(message);
  }
  return std::move(values.values);
}

void readValues(InputMesh& input, const RunOptions& options, const RunFiles& files,
                const WarningSink& warn, RunReport& report) {
  for (std::size_t k = 0; k < files.attributes.size(); ++k) {
    const AttributeSource& source = files.attributes[k];
    if (source.kind == AttributeSource::Kind::File) {
      std::vector<float> values = readFileFeature(input, options, files, k, warn, report);
      if (files.attributes.size() > 1)
        input.features[k] = std::move(values);
      continue;
    }
    if (k == 0) // computed or a vertex property, per input vertex
      storeValuesOfOriginals(input.mesh, input.features[k], input.originalOf);
    noteRange(input.features[k], rangeName(files, k), report);
    if (source.companionKept)
      warn(files.companionAttributeFile +
           " exists and is left as it is: the computed values "
           "are not written (give --attribute-file to write them to a new file)");
  }
}

/// The values segment() takes: every feature of every built vertex (a copy
/// made by the repair takes its input vertex's), vertex after vertex. The
/// mesh keeps the first feature.
std::vector<double> featureValues(const InputMesh& input) {
  const std::size_t D = input.features.size();
  if (D == 1)
    return vertexFeature(input.mesh, 0);
  const std::size_t count = input.mesh.vertexCount();
  std::vector<double> values(count * D);
  for (std::size_t v = 0; v < count; ++v) {
    const std::size_t original = input.originalOf.empty() ? v : input.originalOf[v];
    for (std::size_t k = 0; k < D; ++k)
      values[v * D + k] = input.features[k][original];
  }
  return values;
}

/// The segments of the input's vertices. They come first in the built mesh, so
/// the segments that hold one of them are numbered 0 .. count-1 before any
/// segment of vertices the repair added.
std::vector<std::int32_t> segmentsOfOriginals(std::vector<std::int32_t> segments,
                                              std::size_t originalCount) {
  segments.resize(originalCount);
  return segments;
}

/// With several features, every one on the coloured mesh, named after its source.
void addFeatures(const RunFiles& files, const InputMesh& input, ColouredMesh& coloured) {
  const std::size_t D = input.features.size();
  if (D < 2)
    return;
  for (const AttributeSource& source : files.attributes)
    coloured.featureNames.push_back(featureNameOf(source));
  coloured.featureValues.resize(input.originalCount * D);
  for (std::size_t v = 0; v < input.originalCount; ++v)
    for (std::size_t k = 0; k < D; ++k)
      coloured.featureValues[v * D + k] = input.features[k][v];
}

/// Writes every output and returns the labels of the input's vertices.
std::vector<std::int32_t> writeOutputs(const RunOptions& options, const RunFiles& files,
                                       InputMesh& input, const std::vector<std::int32_t>& segments,
                                       RunOutputs& outputs, RunReport& report,
                                       ReportCollector* reportCollector) {
  Stopwatch stopwatch;
  tellProgress(options.segmentation.progress, "writing " + files.labelFile);
  if (outputs.segments) {
    const std::int32_t count =
        segments.empty() ? 0 : *std::max_element(segments.begin(), segments.end()) + 1;
    outputs.files.write(*outputs.segments, labelFileText(count, segments.data(), segments.size()));
  }
  if (outputs.colouredMesh || outputs.report) {
    ColouredMesh coloured = colouredMeshOf(
        input.mesh, firstPositions(input.mesh, input.originalCount), input.originalOf);
    coloured.segments = segments;
    addFeatures(files, input, coloured);
    if (outputs.colouredMesh)
      outputs.files.write(
          *outputs.colouredMesh,
          colouredMeshBytes(coloured, colouredMeshFormatOf(options.colourMeshPath)));
    if (outputs.report)
      outputs.files.write(*outputs.report,
                          reportPageBytes(options, *reportCollector, coloured,
                                          describeAttributeSources(files.attributes),
                                          files.labelFile));
  }
  for (const auto& [output, k] : outputs.attributes)
    outputs.files.write(output, attributeFileText(input.features[k].data(), input.originalCount));
  const std::vector<std::int32_t> labels = labelsOfOriginals(input.mesh, input.originalCount);
  outputs.files.write(outputs.labels,
                      labelFileText(input.mesh.classCount, labels.data(), labels.size()));
  outputs.files.commitAll();
  report.stageDone("writing " + files.labelFile +
                       (outputs.colouredMesh ? " and " + options.colourMeshPath : std::string()),
                   stopwatch.lap());
  return labels;
}

/// The whole run after the mesh file was found, on the arena's threads.
FileRunResult runOnThreads(const RunOptions& options, const WarningSink& warnOnly,
                           RunReport* report) {
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
  readMesh(options, files, input, warn, sink);
  readValues(input, options, files, warn, sink);

  Stopwatch stopwatch;
  tellProgress(options.segmentation.progress, "ring adjacency");
  const VertexGraph graph = buildVertexGraph(mesh);
  sink.stageDone("ring adjacency", stopwatch.lap());
  const unsigned clockSeed = static_cast<unsigned>(std::time(nullptr));
  const int featureCount = static_cast<int>(input.features.size());
  SegmentationResult result =
      segment(graph, featureValues(input), featureCount, options.segmentation, clockSeed, &sink);
  for (const std::string& warning : result.warnings)
    warn(warning);

  storeLabels(mesh, result.labels);
  mesh.classCount = static_cast<std::int32_t>(result.means.size() / featureCount);
  result.segments = segmentsOfOriginals(std::move(result.segments), input.originalCount);
  result.labels = writeOutputs(options, files, input, result.segments, outputs, sink,
                               reporting ? &reportCollector : nullptr);
  const ResourceUsage usage = currentResourceUsage();
  sink.note("total " + number(total.total()) + " s (cpu " + number(usage.processorSeconds) +
            " s), peak resident size " + megabytes(usage.peakResidentBytes));
  return {std::move(result), outputs.paths(options, files)};
}

} // namespace

FileRunResult runOnFiles(const RunOptions& options, const WarningSink& warnOnly,
                         RunReport* report) {
  checkRunOptions(options);
  checkMeshFileOpens(options.meshPath);
  return StageThreads(options.segmentation.threads).run([&] {
    return runOnThreads(options, warnOnly, report);
  });
}

} // namespace vornel
