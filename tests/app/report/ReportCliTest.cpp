// The vornel command with --report: the page's data against the run's own.

#include "app/CliSupport.hpp"
#include "app/report/JsonReader.hpp"
#include "app/report/ReportCollector.hpp"
#include "pipeline/SegmentMesh.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vornel {
namespace {

using testing::CommandResult;
using testing::JsonValue;
using testing::runVornel;

constexpr int gridWidth = 14;
constexpr int gridHeight = 9;

/// Values exact in single precision: stripe r of three around r, with a
/// deterministic spread of multiples of 1/32.
std::vector<double> stripeValues() {
  const std::vector<int> regions = testing::stripeRegions(gridWidth, gridHeight, 3);
  std::vector<double> values;
  for (std::size_t v = 0; v < regions.size(); ++v)
    values.push_back(regions[v] + static_cast<double>((v * 37) % 17) / 32.0 - 0.25);
  return values;
}

struct ReportRun {
  testing::TempFolder folder;
  std::string mesh = folder.file("grid.obj");
  std::string report = folder.file("grid report.html");
  std::string labels = folder.file("grid_labels.lb");
};

void writeInputs(const ReportRun& run) {
  std::ofstream(run.mesh) << testing::gridObj(gridWidth, gridHeight);
  std::ofstream attributes(run.folder.file("grid_attribute.att"));
  attributes.precision(17);
  for (const double value : stripeValues())
    attributes << value << '\n';
}

/// The JSON data the page embeds.
JsonValue pageData(const std::string& html) {
  const std::string start = "<script type=\"application/json\" id=\"vornel-data\">";
  const std::size_t begin = html.find(start);
  if (begin == std::string::npos)
    throw std::runtime_error("no data element in the page");
  const std::size_t end = html.find("</script>", begin);
  return testing::parseJson(html.substr(begin + start.size(), end - begin - start.size()));
}

template <class Word> std::vector<Word> decodeWords(const JsonValue& text) {
  const std::vector<std::uint8_t> bytes = testing::decodeBase64(text.text);
  std::vector<Word> words(bytes.size() / 4);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::uint32_t bits = bytes[4 * i] | (bytes[4 * i + 1] << 8) | (bytes[4 * i + 2] << 16) |
                               (std::uint32_t{bytes[4 * i + 3]} << 24);
    std::memcpy(&words[i], &bits, 4);
  }
  return words;
}

/// The same segmentation through the library, its events collected.
ReportCollector librarySegmentation(bool refine) {
  std::vector<std::array<float, 3>> positions;
  for (int y = 0; y < gridHeight; ++y)
    for (int x = 0; x < gridWidth; ++x)
      positions.push_back({float(x), float(y), 0.0f});
  std::vector<std::vector<std::uint32_t>> facets;
  for (int y = 0; y + 1 < gridHeight; ++y)
    for (int x = 0; x + 1 < gridWidth; ++x) {
      const auto a = static_cast<std::uint32_t>(y * gridWidth + x);
      const std::uint32_t b = a + 1, c = a + gridWidth, d = c + 1;
      facets.push_back({a, b, d});
      facets.push_back({a, d, c});
    }
  SegmentationOptions options;
  options.classCount = 3;
  options.filterPasses = 2;
  options.sweepCount = 12;
  options.seed = 5;
  options.refine = refine;
  ReportCollector collector;
  segmentMesh(positions, facets, stripeValues(), options, &collector);
  return collector;
}

class ReportContent : public ::testing::TestWithParam<bool> {};

TEST_P(ReportContent, MatchesTheMeshTheLabelsAndTheRunsNumbers) {
  const bool refine = GetParam();
  ReportRun run;
  writeInputs(run);
  std::vector<std::string> args{run.mesh, "3", "2", "12", "--seed", "5", "--report", run.report};
  if (refine)
    args.push_back("--refine");
  const CommandResult result = runVornel(args);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const JsonValue data = pageData(testing::readFile(run.report));

  // The 3D view holds the input positions, the facets and the labels of the label file.
  const JsonValue& surface = data["surface"];
  EXPECT_FALSE(surface["simplified"].flag);
  const std::vector<float> positions = decodeWords<float>(surface["positions"]);
  ASSERT_EQ(positions.size(), 3u * gridWidth * gridHeight);
  for (int v = 0; v < gridWidth * gridHeight; ++v) {
    ASSERT_EQ(positions[3 * v], float(v % gridWidth)) << v;
    ASSERT_EQ(positions[3 * v + 1], float(v / gridWidth)) << v;
    ASSERT_EQ(positions[3 * v + 2], 0.0f) << v;
  }
  const std::vector<std::uint32_t> triangles = decodeWords<std::uint32_t>(surface["triangles"]);
  ASSERT_EQ(triangles.size(), 6u * (gridWidth - 1) * (gridHeight - 1));
  EXPECT_EQ(std::vector<std::uint32_t>(triangles.begin(), triangles.begin() + 6),
            (std::vector<std::uint32_t>{0, 1, gridWidth + 1, 0, gridWidth + 1, gridWidth}));
  const std::vector<std::uint8_t> labels = testing::decodeBase64(surface["labels"].text);
  const testing::LabelFileContent labelFile =
      testing::parseLabelFile(testing::readFile(run.labels));
  EXPECT_EQ(std::vector<int>(labels.begin(), labels.end()), labelFile.labels);

  // Class tables and trace as the same run through the library records them.
  const ReportCollector library = librarySegmentation(refine);
  const RunRecord& expected = library.record();
  const JsonValue& classes = data["classes"];
  ASSERT_EQ(classes.size(), expected.classes.size());
  for (std::size_t i = 0; i < classes.size(); ++i) {
    EXPECT_EQ(classes[i]["when"].text, expected.classes[i].when);
    const ClassSummary& summary = expected.classes[i].summary;
    EXPECT_EQ(classes[i]["sizes"].numbers(),
              std::vector<double>(summary.sizes.begin(), summary.sizes.end()));
    EXPECT_EQ(classes[i]["means"].numbers(), summary.means);
    EXPECT_EQ(classes[i]["variances"].numbers(), summary.variances);
  }
  EXPECT_EQ(classes[classes.size() - 1]["when"].text, "final");

  const JsonValue& trace = data["trace"];
  ASSERT_EQ(trace["sweep"].size(), expected.trace.size());
  ASSERT_EQ(trace["changed"].size(), expected.trace.size());
  for (std::size_t i = 0; i < expected.trace.size(); ++i) {
    EXPECT_EQ(trace["round"][i].number, expected.trace[i].round);
    EXPECT_EQ(trace["temperature"][i].number, expected.trace[i].sweep.temperature);
    EXPECT_EQ(trace["changed"][i].number, expected.trace[i].sweep.changedLabels);
    EXPECT_EQ(trace["greedy"][i].flag, expected.trace[i].sweep.greedy);
  }
  EXPECT_EQ(trace["round"][expected.trace.size() - 1].number, refine ? 2 : 1);
  if (!refine) {
    EXPECT_EQ(expected.trace.size(), 12u); // one entry per sweep asked for
  }

  // The histogram counts every vertex once.
  double histogramTotal = 0;
  for (const JsonValue& row : data["histogram"]["counts"].items)
    for (const double count : row.numbers())
      histogramTotal += count;
  EXPECT_EQ(histogramTotal, gridWidth * gridHeight);
  EXPECT_EQ(data["settings"]["seed"].number, 5);
  EXPECT_EQ(data["vertexCount"].number, gridWidth * gridHeight);
}

INSTANTIATE_TEST_SUITE_P(PlainAndRefined, ReportContent, ::testing::Values(false, true));

TEST(ReportOutput, TheSegmentsSectionAndColoursFollowTheSegmentsFile) {
  ReportRun run;
  writeInputs(run);
  const std::string segmentsPath = run.folder.file("grid.seg");
  const CommandResult result = runVornel(
      {run.mesh, "3", "0", "3", "--seed", "2", "--segments", segmentsPath, "--report", run.report});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const JsonValue data = pageData(testing::readFile(run.report));
  const testing::LabelFileContent segments =
      testing::parseLabelFile(testing::readFile(segmentsPath));
  const testing::LabelFileContent labels = testing::parseLabelFile(testing::readFile(run.labels));
  std::vector<int> sizes(segments.classCount, 0);
  for (const int id : segments.labels)
    ++sizes[id];

  const JsonValue& section = data["segments"];
  EXPECT_EQ(section["count"].number, segments.classCount);
  double binned = 0;
  for (const double count : section["sizeBins"].numbers())
    binned += count;
  EXPECT_EQ(binned, segments.classCount);
  const JsonValue& largest = section["largest"];
  ASSERT_EQ(largest.size(), std::min<std::size_t>(20, segments.classCount));
  for (std::size_t row = 0; row < largest.size(); ++row) {
    const int id = static_cast<int>(largest[row]["segment"].number);
    EXPECT_EQ(largest[row]["vertices"].number, sizes[id]);
    if (row > 0) {
      EXPECT_LE(largest[row]["vertices"].number, largest[row - 1]["vertices"].number);
    }
    const auto first = std::find(segments.labels.begin(), segments.labels.end(), id);
    EXPECT_EQ(largest[row]["class"].number, labels.labels[first - segments.labels.begin()]);
    EXPECT_GT(largest[row]["area"].number, 0.0);
  }

  // In the "segments" view the two ends of a drawn edge in different segments differ in colour.
  const std::vector<std::uint8_t> bytes =
      testing::decodeBase64(data["surface"]["segmentColours"].text);
  ASSERT_EQ(bytes.size(), 2u * gridWidth * gridHeight);
  const auto colour = [&bytes](std::uint32_t v) { return bytes[2 * v] | bytes[2 * v + 1] << 8; };
  const std::vector<std::uint32_t> triangles =
      decodeWords<std::uint32_t>(data["surface"]["triangles"]);
  for (std::size_t t = 0; t < triangles.size(); t += 3)
    for (int k = 0; k < 3; ++k) {
      const std::uint32_t a = triangles[t + k], b = triangles[t + (k + 1) % 3];
      EXPECT_EQ(colour(a) == colour(b), segments.labels[a] == segments.labels[b])
          << "vertices " << a << " and " << b;
    }
}

TEST(ReportOutput, ARepairedMeshIsShownPerInputVertexWithItsWarning) {
  testing::TempFolder folder;
  const std::string mesh = folder.file("t.obj");
  // Two tetrahedra sharing vertex 1, which the repair splits, and one vertex alone.
  std::ofstream(mesh) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nv -1 0 0\nv 0 -1 0\nv 0 0 -1\n"
                         "v 5 5 5\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\nf 1 6 5\nf 1 5 7\n"
                         "f 1 7 6\nf 5 6 7\n";
  std::ofstream(folder.file("t_attribute.att")) << "0 0 0 0 5 5 5 9";
  const std::string report = folder.file("t.html");
  const CommandResult result =
      runVornel({mesh, "2", "0", "0", "--seed", "1", "--repair", "--report", report});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const JsonValue data = pageData(testing::readFile(report));
  ASSERT_GE(data["warnings"].size(), 1u); // the repair, then the fit's fallback
  EXPECT_EQ(data["warnings"][0].text.rfind("repaired " + mesh, 0), 0u);
  EXPECT_EQ(data["vertexCount"].number, 8);
  const std::vector<std::uint8_t> labels = testing::decodeBase64(data["surface"]["labels"].text);
  EXPECT_EQ(labels, (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 1, 1, 1}));
  EXPECT_EQ(decodeWords<std::uint32_t>(data["surface"]["triangles"]).size(), 24u);
  EXPECT_TRUE(data["settings"]["repair"].flag);
}

TEST(ReportOutput, NamesTheFilesAndTheValueSourceTheRunUsed) {
  ReportRun run;
  writeInputs(run);
  const std::string values = run.folder.file("other.att");
  std::filesystem::rename(run.folder.file("grid_attribute.att"), values);
  const std::string labels = run.folder.file("out.lb");
  CommandResult result = runVornel({run.mesh, "3", "1", "2", "--seed", "1", "--attribute-file",
                                    values, "--labels-file", labels, "--report", run.report});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  JsonValue files = pageData(testing::readFile(run.report))["files"];
  EXPECT_EQ(files["attributes"].text, values);
  EXPECT_EQ(files["labels"].text, labels);

  // Every third vertex lifted, so that the curvedness varies.
  std::istringstream lines(testing::gridObj(gridWidth, gridHeight));
  std::string lifted;
  int vertex = 0;
  for (std::string line; std::getline(lines, line);)
    lifted += (line.rfind("v ", 0) == 0 && vertex++ % 3 == 0 ? line + ".5" : line) + "\n";
  std::ofstream(run.mesh) << lifted;
  result = runVornel({run.mesh, "2", "1", "2", "--seed", "1", "--compute-attribute", "curvedness",
                      "--report", run.report});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  files = pageData(testing::readFile(run.report))["files"];
  EXPECT_EQ(files["attributes"].text, "curvedness computed from the mesh, written to " +
                                          run.folder.file("grid_attribute.att"));
  EXPECT_EQ(files["labels"].text, run.labels);
}

bool hasMember(const JsonValue& object, const std::string& name) {
  return std::any_of(object.members.begin(), object.members.end(),
                     [&](const auto& member) { return member.first == name; });
}

/// Per bin, the vertices of every class together.
std::vector<double> binTotals(const JsonValue& histogram) {
  std::vector<double> totals(static_cast<std::size_t>(histogram["binCount"].number));
  for (const JsonValue& row : histogram["counts"].items)
    for (std::size_t bin = 0; bin < totals.size(); ++bin)
      totals[bin] += row[bin].number;
  return totals;
}

/// The part of the page's data that holds the features' plots.
std::string featuresText(const std::string& html) {
  const std::size_t begin = html.find("\"features\":");
  const std::size_t end = html.find("\"trace\":", begin);
  return begin == std::string::npos ? std::string() : html.substr(begin, end - begin);
}

TEST(ReportOutput, SeveralFeaturesGetOneHistogramEachAndTheDensityOfTheFirstTwo) {
  ReportRun run;
  writeInputs(run);
  const int vertexCount = gridWidth * gridHeight;
  // The second feature takes five values, 0 .. 1 in steps of 1/4, in turn.
  const std::string second = run.folder.file("second feature.att");
  std::ofstream secondValues(second);
  for (int v = 0; v < vertexCount; ++v)
    secondValues << (v % 5) * 0.25 << '\n';
  secondValues.close();
  const std::string attributes = run.folder.file("grid_attribute.att");
  std::vector<std::string> args{run.mesh,
                                "3",
                                "2",
                                "12",
                                "--seed",
                                "5",
                                "--attribute-file",
                                attributes,
                                "--attribute-file",
                                second,
                                "--report",
                                run.report,
                                "--threads",
                                "1"};
  const CommandResult result = runVornel(args);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::string html = testing::readFile(run.report);
  const JsonValue data = pageData(html);
  const JsonValue& features = data["features"];
  ASSERT_EQ(features["names"].size(), 2u);
  EXPECT_EQ(features["names"][0].text, "grid_attribute");
  EXPECT_EQ(features["names"][1].text, "second_feature");

  // The first feature's histogram is the one the page always had.
  const JsonValue& histograms = features["histograms"];
  ASSERT_EQ(histograms.size(), 2u);
  EXPECT_EQ(histograms[0]["low"].number, data["histogram"]["low"].number);
  EXPECT_EQ(histograms[0]["binWidth"].number, data["histogram"]["binWidth"].number);
  for (std::size_t c = 0; c < 3; ++c)
    EXPECT_EQ(histograms[0]["counts"][c].numbers(), data["histogram"]["counts"][c].numbers());

  // The second one, bin by bin and class by class: value j / 4 lies in bin 3j
  // of twelve (the top value in the last bin).
  const JsonValue& other = histograms[1];
  ASSERT_EQ(other["binCount"].number, 12);
  const std::vector<int> labels = testing::parseLabelFile(testing::readFile(run.labels)).labels;
  ASSERT_EQ(labels.size(), static_cast<std::size_t>(vertexCount));
  std::vector<std::vector<double>> expected(3, std::vector<double>(12));
  for (int v = 0; v < vertexCount; ++v)
    expected[labels[v]][std::min(3 * (v % 5), 11)] += 1;
  for (std::size_t c = 0; c < 3; ++c)
    EXPECT_EQ(other["counts"][c].numbers(), expected[c]) << "class " << c;

  // The density's rows and columns add up to the two histograms.
  const JsonValue& density = features["density"];
  const std::size_t columns = static_cast<std::size_t>(density["x"]["binCount"].number);
  const std::size_t rows = static_cast<std::size_t>(density["y"]["binCount"].number);
  EXPECT_EQ(density["x"]["low"].number, histograms[0]["low"].number);
  EXPECT_EQ(density["y"]["binWidth"].number, other["binWidth"].number);
  const std::vector<double> counts = density["counts"].numbers();
  const std::vector<double> classes = density["classes"].numbers();
  ASSERT_EQ(counts.size(), columns * rows);
  ASSERT_EQ(classes.size(), counts.size());
  std::vector<double> columnTotals(columns), rowTotals(rows);
  for (std::size_t cell = 0; cell < counts.size(); ++cell) {
    columnTotals[cell % columns] += counts[cell];
    rowTotals[cell / columns] += counts[cell];
    EXPECT_EQ(classes[cell] < 0, counts[cell] == 0) << "cell " << cell;
    EXPECT_LT(classes[cell], 3) << "cell " << cell;
  }
  EXPECT_EQ(columnTotals, binTotals(histograms[0]));
  EXPECT_EQ(rowTotals, binTotals(other));

  // The same plots whatever the thread count.
  args.back() = "3";
  ASSERT_EQ(runVornel(args).exitStatus, 0);
  EXPECT_EQ(featuresText(testing::readFile(run.report)), featuresText(html));

  // With one feature the page's data stays as it was.
  ASSERT_EQ(runVornel({run.mesh, "3", "2", "12", "--seed", "5", "--report", run.report}).exitStatus,
            0);
  EXPECT_FALSE(hasMember(pageData(testing::readFile(run.report)), "features"));
}

TEST(ReportOutput, AnUnwritableReportLeavesNoOutputAtAll) {
  ReportRun run;
  writeInputs(run);
  const std::string report = run.folder.file("no/such/folder/report.html");
  const std::string coloured = run.folder.file("coloured.ply");
  const CommandResult result = runVornel(
      {run.mesh, "3", "2", "12", "--seed", "5", "--colour-mesh", coloured, "--report", report});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("cannot write report " + report), std::string::npos) << result.err;
  EXPECT_FALSE(testing::fileExists(run.labels));
  EXPECT_FALSE(testing::fileExists(coloured));
  EXPECT_FALSE(testing::fileExists(report));
}

TEST(ReportOutput, TheReportMustBeAnHtmlFile) {
  ReportRun run;
  writeInputs(run);
  const CommandResult result =
      runVornel({run.mesh, "3", "2", "12", "--report", run.folder.file("report.txt")});
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.err.find(".html"), std::string::npos) << result.err;
  EXPECT_FALSE(testing::fileExists(run.labels));
}

TEST(ReportOutput, TheReportCannotReplaceTheMesh) {
  ReportRun run;
  const std::string mesh = run.folder.file("grid.html"); // read as OFF
  std::ofstream(mesh) << "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
  std::ofstream(run.folder.file("grid_attribute.att")) << "0 1 2\n";
  const std::string sameFile = run.folder.file(".") + "/grid.html";
  const CommandResult result = runVornel({mesh, "2", "0", "0", "--report", sameFile});
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.err.find("an output must not replace an input"), std::string::npos)
      << result.err;
  EXPECT_EQ(testing::readFile(mesh).rfind("OFF\n", 0), 0u);
}

} // namespace
} // namespace vornel
