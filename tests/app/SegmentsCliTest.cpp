// --segments and --min-segment-size, run through the built vornel binary.

#include "app/CliSupport.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace vornel::testing {
namespace {

constexpr int side = 30;

/// A noisy three-stripe grid: its default run leaves speckles.
struct NoisyGrid {
  NoisyGrid() {
    writeFile(mesh, gridObj(side, side));
    writeFile(folder.file("grid_attribute.att"),
              noisyAttributes(stripeRegions(side, side, 3), 1.0, 0.8, 3));
  }
  std::vector<std::string> args(std::vector<std::string> options) const {
    std::vector<std::string> all{mesh, "3", "1", "8", "--seed", "4"};
    all.insert(all.end(), options.begin(), options.end());
    return all;
  }
  TempFolder folder;
  std::string mesh = folder.file("grid.obj");
  std::string labels = folder.file("grid_labels.lb");
};

/// The edges of gridObj's triangulation: right, up and the diagonal to (x+1, y+1).
std::vector<std::pair<int, int>> gridEdges() {
  std::vector<std::pair<int, int>> edges;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int v = y * side + x;
      if (x + 1 < side)
        edges.push_back({v, v + 1});
      if (y + 1 < side)
        edges.push_back({v, v + side});
      if (x + 1 < side && y + 1 < side)
        edges.push_back({v, v + side + 1});
    }
  return edges;
}

/// The text a label file of these numbers has.
std::string labelFileTextOf(int count, const std::vector<int>& numbers) {
  std::string text = std::to_string(count) + " \t";
  for (const int number : numbers)
    text += std::to_string(number) + " \t";
  return text;
}

/// The int "segment" of every vertex record of the coloured PLY (x y z, rgb,
/// label, quality, segment: 27 bytes, little endian).
std::vector<int> plySegments(const std::string& bytes, int vertexCount) {
  const std::size_t body = bytes.find("end_header\n") + 11;
  std::vector<int> segments(vertexCount);
  for (int v = 0; v < vertexCount; ++v)
    std::memcpy(&segments[v], bytes.data() + body + 27 * v + 23, 4); // a little-endian host
  return segments;
}

std::vector<int> sizesOf(const LabelFileContent& segments) {
  std::vector<int> sizes(segments.classCount, 0);
  for (const int id : segments.labels)
    ++sizes[id];
  return sizes;
}

TEST(SegmentsOption, WritesTheConnectedSegmentsInTheLabelFileFormat) {
  const NoisyGrid grid;
  const std::string segmentsPath = grid.folder.file("grid.seg");
  const std::string plyPath = grid.folder.file("grid.ply");
  const CommandResult result =
      runVornel(grid.args({"--segments", segmentsPath, "--colour-mesh", plyPath}));
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::string text = readFile(segmentsPath);
  const LabelFileContent segments = parseLabelFile(text);
  const LabelFileContent labels = parseLabelFile(readFile(grid.labels));
  ASSERT_EQ(segments.labels.size(), static_cast<std::size_t>(side * side));
  EXPECT_EQ(text, labelFileTextOf(segments.classCount, segments.labels));
  EXPECT_GT(segments.classCount, 3);

  // Ids in order of first vertex; one label per segment; an edge stays in a
  // segment exactly when its ends share a label.
  int nextNew = 0;
  std::map<int, int> labelOf;
  for (int v = 0; v < side * side; ++v) {
    const int id = segments.labels[v];
    ASSERT_LE(id, nextNew);
    nextNew += id == nextNew;
    EXPECT_EQ(labelOf.emplace(id, labels.labels[v]).first->second, labels.labels[v]);
  }
  EXPECT_EQ(nextNew, segments.classCount);
  for (const auto& [a, b] : gridEdges())
    EXPECT_EQ(segments.labels[a] == segments.labels[b], labels.labels[a] == labels.labels[b]);

  const std::string ply = readFile(plyPath);
  EXPECT_NE(ply.find("property float quality\nproperty int segment\n"), std::string::npos);
  EXPECT_EQ(plySegments(ply, side * side), segments.labels);
}

TEST(SegmentsOption, AMinimumSizeOfOneOrLessChangesNoOutputByte) {
  const NoisyGrid grid;
  const auto outputs = [&grid](const std::vector<std::string>& extra) {
    std::vector<std::string> options{"--segments", grid.folder.file("s.seg"), "--colour-mesh",
                                     grid.folder.file("c.ply")};
    options.insert(options.end(), extra.begin(), extra.end());
    const CommandResult result = runVornel(grid.args(options));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    return readFile(grid.labels) + "|" + readFile(grid.folder.file("s.seg")) + "|" +
           readFile(grid.folder.file("c.ply"));
  };
  const std::string plain = outputs({});
  EXPECT_EQ(outputs({"--min-segment-size", "0"}), plain);
  EXPECT_EQ(outputs({"--min-segment-size", "1"}), plain);
}

TEST(SegmentsOption, AMinimumSizeMergesTheSmallSegmentsAndSaysHowMany) {
  const NoisyGrid grid;
  const std::string segmentsPath = grid.folder.file("grid.seg");
  const CommandResult plain = runVornel(grid.args({"--segments", segmentsPath}));
  ASSERT_EQ(plain.exitStatus, 0) << plain.err;
  const LabelFileContent before = parseLabelFile(readFile(segmentsPath));

  const CommandResult merged =
      runVornel(grid.args({"--segments", segmentsPath, "--min-segment-size", "20", "--verbose"}));
  ASSERT_EQ(merged.exitStatus, 0) << merged.err;
  const LabelFileContent after = parseLabelFile(readFile(segmentsPath));
  EXPECT_LT(after.classCount, before.classCount);
  for (const int size : sizesOf(after))
    EXPECT_GE(size, 20);
  EXPECT_EQ(parseLabelFile(readFile(grid.labels)).classCount, 3);
  EXPECT_NE(merged.err.find("vornel: segment merge: "), std::string::npos) << merged.err;
  EXPECT_NE(merged.err.find(std::to_string(after.classCount) + " segments"), std::string::npos)
      << merged.err;
}

TEST(SegmentsOption, ASmallSeparatePieceStaysWithAWarning) {
  TempFolder folder;
  const std::string mesh = folder.file("two.obj");
  // The grid, and apart from it one triangle of its own.
  writeFile(mesh, gridObj(side, side) + "v 100 0 0\nv 101 0 0\nv 100 1 0\nf " +
                      std::to_string(side * side + 1) + " " + std::to_string(side * side + 2) +
                      " " + std::to_string(side * side + 3) + "\n");
  writeFile(folder.file("two_attribute.att"),
            noisyAttributes(stripeRegions(side, side, 3), 1.0, 0.8, 3) + "2\n2\n2\n");
  const CommandResult result =
      runVornel({mesh, "3", "1", "8", "--seed", "4", "--min-segment-size", "10"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(
      result.err.find("vornel: warning: 1 separate piece of the mesh is smaller than 10 vertices"),
      std::string::npos)
      << result.err;
  const LabelFileContent labels = parseLabelFile(readFile(folder.file("two_labels.lb")));
  // The triangle ends as one segment of one class.
  EXPECT_EQ(labels.labels[side * side + 1], labels.labels[side * side]);
  EXPECT_EQ(labels.labels[side * side + 2], labels.labels[side * side]);
}

TEST(SegmentsOption, BadUsesAreRefusedBeforeAnythingIsWritten) {
  const NoisyGrid grid;
  const std::string meshText = readFile(grid.mesh);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--min-segment-size", "-1"},
        {"--min-segment-size", "many"},
        {"--min-segment-size", "4294967296"},
        {"--segments", ""},
        {"--segments", grid.labels},
        {"--segments", grid.mesh},
        {"--segments", grid.folder.file("a.seg"), "--colour-mesh", grid.folder.file("a.seg")}}) {
    const CommandResult result = runVornel(grid.args(options));
    EXPECT_EQ(result.exitStatus, 2) << options[1] << ": " << result.err;
    EXPECT_EQ(result.err.rfind("vornel: ", 0), 0u) << result.err;
    EXPECT_FALSE(fileExists(grid.labels));
    EXPECT_FALSE(fileExists(grid.folder.file("a.seg")));
    EXPECT_EQ(readFile(grid.mesh), meshText);
  }
}

} // namespace
} // namespace vornel::testing
