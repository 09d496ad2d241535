#include "app/report/ReportData.hpp"

#include "app/report/Base64.hpp"
#include "app/report/FeatureDensity.hpp"
#include "app/report/JsonWriter.hpp"
#include "app/report/SegmentColours.hpp"
#include "app/report/SegmentSummary.hpp"
#include "app/report/ValueHistogram.hpp"
#include "estimation/FallbackMessage.hpp"
#include "pipeline/RunSchedule.hpp"

#include <algorithm>

namespace vornel {

namespace {

void writeFiles(JsonWriter& json, const ReportInputs& inputs) {
  const RunOptions& options = inputs.options;
  json.key("files").beginObject();
  json.key("mesh").value(options.meshPath);
  json.key("attributes").value(inputs.valueSource);
  json.key("labels").value(inputs.labelFile);
  json.key("colouredMesh").value(options.colourMeshPath);
  json.key("report").value(options.reportPath);
  json.endObject();
}

void writeSettings(JsonWriter& json, const RunOptions& options, const RunRecord& record) {
  const SegmentationOptions& segmentation = options.segmentation;
  const AnnealingSchedule schedule = annealingScheduleFor(segmentation);
  json.key("settings").beginObject();
  json.key("classCount").value(segmentation.classCount);
  json.key("filterPasses").value(segmentation.filterPasses);
  json.key("sweeps").value(segmentation.sweepCount);
  if (record.seed)
    json.key("seed").value(*record.seed);
  else
    json.key("seed").null();
  json.key("seedGiven").value(segmentation.seed.has_value());
  json.key("initialTemperature").value(schedule.initialTemperature);
  json.key("coolingFactor").value(schedule.coolingFactor);
  json.key("refine").value(segmentation.refine);
  json.key("repair").value(options.repair);
  json.key("verbose").value(options.verbose);
  json.endObject();
}

void writeOutcome(JsonWriter& json, const RunRecord& record) {
  json.key("parameters").beginArray();
  for (const std::vector<float>& fit : record.parameters)
    json.array(fit);
  json.endArray();
  json.key("fallback").value(describeFallback(record.fallback));
  json.key("warnings").array(record.warnings);
  json.key("notes").array(record.notes);
  json.key("stages").beginArray();
  for (const StageRecord& stage : record.stages) {
    json.beginObject();
    json.key("stage").value(stage.stage);
    json.key("seconds").value(stage.seconds);
    json.endObject();
  }
  json.endArray();
}

/// Per class "means" and "variances" of the first feature (the value the page
/// draws); with several features also "featureMeans" and "featureVariances",
/// one array of every feature's mean and variance per class.
void writeClassStatistics(JsonWriter& json, const ClassSummary& summary) {
  const std::size_t D = static_cast<std::size_t>(summary.featureCount);
  if (D == 1) {
    json.key("means").array(summary.means);
    json.key("variances").array(summary.variances);
    return;
  }
  const std::size_t K = summary.sizes.size();
  std::vector<double> means, variances;
  std::vector<std::vector<double>> featureMeans(K), featureVariances(K);
  for (std::size_t c = 0; c < K; ++c) {
    for (std::size_t i = 0; i < D; ++i) {
      featureMeans[c].push_back(summary.means[c * D + i]);
      featureVariances[c].push_back(summary.variances[(c * D + i) * D + i]);
    }
    means.push_back(featureMeans[c][0]);
    variances.push_back(featureVariances[c][0]);
  }
  json.key("means").array(means);
  json.key("variances").array(variances);
  json.key("featureMeans").beginArray();
  for (const std::vector<double>& row : featureMeans)
    json.array(row);
  json.endArray();
  json.key("featureVariances").beginArray();
  for (const std::vector<double>& row : featureVariances)
    json.array(row);
  json.endArray();
}

void writeClasses(JsonWriter& json, const RunRecord& record, std::int32_t classCount) {
  json.key("classColours").beginArray();
  for (std::int32_t label = 0; label < classCount; ++label) {
    const std::array<std::uint8_t, 3> colour = classColour(label, classCount);
    json.array(std::vector<int>(colour.begin(), colour.end()));
  }
  json.endArray();
  json.key("classes").beginArray();
  for (const ClassSnapshot& snapshot : record.classes) {
    json.beginObject();
    json.key("when").value(snapshot.when);
    json.key("sizes").array(snapshot.summary.sizes);
    writeClassStatistics(json, snapshot.summary);
    json.endObject();
  }
  json.endArray();
}

/// The continuous scale of the value view: the same ramp as the classes.
void writeRamp(JsonWriter& json) {
  json.key("ramp").beginArray();
  for (int row = 0; row < 256; ++row) {
    const std::array<std::uint8_t, 3> colour = classColour(row, 256);
    json.array(std::vector<int>(colour.begin(), colour.end()));
  }
  json.endArray();
}

void writeHistogramFields(JsonWriter& json, const ValueHistogram& histogram) {
  json.beginObject();
  json.key("low").value(histogram.low);
  json.key("binWidth").value(histogram.binWidth);
  json.key("binCount").value(histogram.binCount);
  json.key("counts").beginArray();
  for (const std::vector<std::int64_t>& row : histogram.counts)
    json.array(row);
  json.endArray();
  json.endObject();
}

void writeHistogram(JsonWriter& json, const ColouredMesh& mesh) {
  json.key("histogram");
  writeHistogramFields(json, valueHistogram(mesh.values, mesh.labels, mesh.classCount));
}

void writeAxis(JsonWriter& json, const BinAxis& axis) {
  json.beginObject();
  json.key("low").value(axis.low);
  json.key("binWidth").value(axis.binWidth);
  json.key("binCount").value(axis.binCount);
  json.endObject();
}

/// Feature k of every input vertex, read in place.
ValueColumn featureColumn(const ColouredMesh& mesh, std::size_t k) {
  const std::size_t D = mesh.featureNames.size();
  return ValueColumn{mesh.featureValues.data() + k, mesh.positions.size(), D};
}

/// With several features: their names as the coloured PLY has them, one
/// histogram each and the 2-D density of the first two. Binned here so that
/// the page stays small whatever the mesh.
void writeFeatures(JsonWriter& json, const ColouredMesh& mesh) {
  const std::size_t D = mesh.featureNames.size();
  if (D < 2)
    return;
  json.key("features").beginObject();
  json.key("names").array(featurePropertyNames(mesh.featureNames));
  json.key("histograms").beginArray();
  for (std::size_t k = 0; k < D; ++k)
    writeHistogramFields(json,
                         valueHistogram(featureColumn(mesh, k), mesh.labels, mesh.classCount));
  json.endArray();
  const FeatureDensity density =
      featureDensity(featureColumn(mesh, 0), featureColumn(mesh, 1), mesh.labels, mesh.classCount);
  json.key("density").beginObject();
  json.key("x");
  writeAxis(json, density.x);
  json.key("y");
  writeAxis(json, density.y);
  json.key("counts").array(density.counts);
  json.key("classes").array(density.classes);
  json.endObject();
  json.endObject();
}

void writeTrace(JsonWriter& json, const RunRecord& record) {
  std::vector<int> rounds, sweeps;
  std::vector<double> temperatures;
  std::vector<bool> greedy;
  std::vector<std::int64_t> changed;
  for (const TraceEntry& entry : record.trace) {
    rounds.push_back(entry.round);
    sweeps.push_back(entry.sweep.sweep);
    temperatures.push_back(entry.sweep.temperature);
    greedy.push_back(entry.sweep.greedy);
    changed.push_back(entry.sweep.changedLabels);
  }
  json.key("trace").beginObject();
  json.key("round").array(rounds);
  json.key("sweep").array(sweeps);
  json.key("temperature").array(temperatures);
  json.key("greedy").beginArray();
  for (const bool flag : greedy)
    json.value(flag);
  json.endArray();
  json.key("changed").array(changed);
  json.endObject();
}

void writeSegments(JsonWriter& json, const ColouredMesh& mesh) {
  const SegmentSummary summary = summariseSegments(mesh);
  json.key("segments").beginObject();
  json.key("count").value(static_cast<std::int64_t>(summary.count));
  json.key("sizeBins").array(summary.sizeBins);
  json.key("largest").beginArray();
  for (const SegmentRow& row : summary.largest) {
    json.beginObject();
    json.key("segment").value(row.segment);
    json.key("class").value(row.label);
    json.key("vertices").value(row.vertices);
    json.key("area").value(row.area);
    json.key("meanValue").value(row.meanValue);
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

/// The colour index of each view vertex's segment, as little-endian uint16
/// (greedy colouring needs few colours; the index is capped at the last one).
std::string segmentColourBytes(const ColouredMesh& mesh, const ViewSurface& surface) {
  const std::vector<std::uint32_t> colours = segmentColours(mesh);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(surface.segments.size() * 2);
  for (const std::uint32_t segment : surface.segments) {
    const std::uint32_t colour = std::min<std::uint32_t>(colours[segment], 0xFFFFu);
    bytes.push_back(static_cast<std::uint8_t>(colour & 0xFFu));
    bytes.push_back(static_cast<std::uint8_t>(colour >> 8));
  }
  return base64OfBytes(bytes);
}

void writeSurface(JsonWriter& json, const ColouredMesh& mesh, std::size_t triangleBudget) {
  const ViewSurface surface = viewSurfaceOf(mesh, triangleBudget);
  json.key("surface").beginObject();
  json.key("simplified").value(surface.simplified);
  json.key("cellSize").value(surface.cellSize);
  json.key("triangleBudget").value(static_cast<std::int64_t>(triangleBudget));
  json.key("meshTriangles").value(static_cast<std::int64_t>(fanTriangleCount(mesh)));
  json.key("vertexCount").value(static_cast<std::int64_t>(surface.vertexCount()));
  json.key("triangleCount").value(static_cast<std::int64_t>(surface.triangleCount()));
  json.key("positions").value(base64OfFloats(surface.positions));
  json.key("triangles").value(base64OfUnsigned(surface.triangles));
  json.key("labels").value(base64OfBytes(surface.labels));
  json.key("values").value(base64OfFloats(surface.values));
  json.key("segmentColours").value(segmentColourBytes(mesh, surface));
  json.endObject();
}

} // namespace

std::string reportData(const ReportInputs& inputs) {
  const ColouredMesh& mesh = inputs.mesh;
  JsonWriter json;
  json.beginObject();
  json.key("version").value(VORNEL_VERSION);
  writeFiles(json, inputs);
  writeSettings(json, inputs.options, inputs.record);
  json.key("vertexCount").value(static_cast<std::int64_t>(mesh.positions.size()));
  json.key("facetCount").value(static_cast<std::int64_t>(mesh.facetCount()));
  writeOutcome(json, inputs.record);
  json.key("elapsedSeconds").value(inputs.elapsedSeconds);
  json.key("peakMemoryBytes").value(inputs.peakMemoryBytes);
  writeClasses(json, inputs.record, mesh.classCount);
  writeRamp(json);
  writeHistogram(json, mesh);
  writeFeatures(json, mesh);
  writeTrace(json, inputs.record);
  writeSegments(json, mesh);
  writeSurface(json, mesh, inputs.triangleBudget);
  json.endObject();
  return json.text();
}

} // namespace vornel
