// The three ways a run gets its values (an attribute file anywhere, a vertex
// property of a PLY mesh, a curvature measure of the mesh itself), and the
// promise that a user's attribute file is never written over.

#include "app/CliSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vornel::testing {
namespace {

namespace fs = std::filesystem;

const std::string squareObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n";
const std::string squarePly = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
                              "property float y\nproperty float z\nproperty double quality\n"
                              "property list uchar int extra\nelement face 2\n"
                              "property list uchar int vertex_indices\nend_header\n"
                              "0 0 0 0 0\n1 0 0 0.1 0\n0 1 0 5 0\n1 1 0 5.1 0\n3 0 1 2\n3 1 3 2\n";

/// A torus of radii 3 and 1 (times scale) about the z axis, `around` x
/// `across` vertices, facets facing outwards.
std::string torusObj(int around, int across, double scale = 1.0) {
  std::ostringstream obj;
  for (int i = 0; i < around; ++i)
    for (int j = 0; j < across; ++j) {
      const double u = 6.283185307179586 * i / around;
      const double v = 6.283185307179586 * j / across;
      obj << "v " << scale * (3 + std::cos(v)) * std::cos(u) << ' '
          << scale * (3 + std::cos(v)) * std::sin(u) << ' ' << scale * std::sin(v) << '\n';
    }
  const auto index = [&](int i, int j) { return (i % around) * across + (j % across) + 1; };
  for (int i = 0; i < around; ++i)
    for (int j = 0; j < across; ++j)
      obj << "f " << index(i, j) << ' ' << index(i + 1, j) << ' ' << index(i + 1, j + 1) << ' '
          << index(i, j + 1) << '\n';
  return obj.str();
}

class AttributeSources : public ::testing::Test {
protected:
  CommandResult run(const std::vector<std::string>& args) {
    return runVornel(args, folder.path().string());
  }
  TempFolder folder;
};

TEST_F(AttributeSources, AttributeFileAndLabelFileAnywhere) {
  writeFile(folder.file("m.obj"), squareObj);
  fs::create_directory(folder.file("in"));
  fs::create_directory(folder.file("out"));
  writeFile(folder.file("in/values.txt"), "0 0.1 5 5.1");
  const CommandResult result =
      run({"m.obj", "2", "0", "0", "--attribute-file", "in/values.txt", "--labels-file", "out/l"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(readFile(folder.file("out/l")), "2 \t0 \t0 \t1 \t1 \t");
  EXPECT_FALSE(fileExists(folder.file("m_labels.lb")));
  const CommandResult missing = run({"m.obj", "2", "0", "0", "--attribute-file", "none.att"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.err.find("cannot open attribute file none.att"), std::string::npos)
      << missing.err;
}

TEST_F(AttributeSources, PlyVertexPropertyGivesTheValues) {
  writeFile(folder.file("m.ply"), squarePly);
  writeFile(folder.file("m_labels.lb"), "old");
  const CommandResult result = run({"m.ply", "2", "0", "0", "--attribute-property", "quality"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(readFile(folder.file("m_labels.lb")), "2 \t0 \t0 \t1 \t1 \t");
}

/// A side x side grid as ASCII PLY whose vertex property "height" tells the
/// left half from the right (with noise), and the attribute file text of a
/// second feature that tells the bottom half from the top; neither alone
/// tells the four quadrants apart.
struct QuadrantFiles {
  std::string ply;
  std::string secondFeature;
  std::vector<int> quadrant; // 2 * top + right
};

QuadrantFiles quadrantFiles(int side) {
  std::mt19937 engine(17);
  std::normal_distribution<double> noise(0.0, 0.4);
  std::ostringstream ply;
  std::ostringstream att;
  QuadrantFiles files;
  ply << "ply\nformat ascii 1.0\nelement vertex " << side * side
      << "\nproperty float x\nproperty float y\nproperty float z\nproperty float height\n"
         "element face "
      << 2 * (side - 1) * (side - 1) << "\nproperty list uchar int vertex_indices\nend_header\n";
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int right = 2 * x >= side ? 1 : 0;
      const int top = 2 * y >= side ? 1 : 0;
      files.quadrant.push_back(2 * top + right);
      ply << x << ' ' << y << " 0 " << static_cast<float>(right + noise(engine)) << '\n';
      att << static_cast<float>(top + noise(engine)) << '\n';
    }
  for (int y = 0; y + 1 < side; ++y)
    for (int x = 0; x + 1 < side; ++x) {
      const int v = y * side + x;
      ply << "3 " << v << ' ' << v + 1 << ' ' << v + side << "\n3 " << v + 1 << ' ' << v + side + 1
          << ' ' << v + side << '\n';
    }
  files.ply = ply.str();
  files.secondFeature = att.str();
  return files;
}

/// The labels of a label file.
std::vector<int> labelsOf(const std::string& text) {
  std::istringstream words(text);
  int count = 0;
  words >> count;
  std::vector<int> labels;
  for (int label = 0; words >> label;)
    labels.push_back(label);
  return labels;
}

TEST_F(AttributeSources, MixedSourcesGiveOneFeatureEachAndSolveTheJointProblem) {
  const QuadrantFiles files = quadrantFiles(30);
  writeFile(folder.file("g.ply"), files.ply);
  writeFile(folder.file("top.att"), files.secondFeature);
  const CommandResult result =
      run({"g.ply", "4", "3", "50", "--seed", "3", "--attribute-property", "height",
           "--attribute-file", "top.att", "--colour-mesh", "c.ply", "--verbose"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("covariance rows"), std::string::npos);
  const std::vector<int> labels = labelsOf(readFile(folder.file("g_labels.lb")));
  ASSERT_EQ(labels.size(), files.quadrant.size());
  std::vector<int> order{0, 1, 2, 3};
  std::size_t best = 0;
  do {
    std::size_t agree = 0;
    for (std::size_t v = 0; v < labels.size(); ++v)
      agree += order[labels[v]] == files.quadrant[v];
    best = std::max(best, agree);
  } while (std::next_permutation(order.begin(), order.end()));
  EXPECT_GE(static_cast<double>(best) / labels.size(), 0.9);
  const std::string coloured = readFile(folder.file("c.ply"));
  EXPECT_NE(coloured.find("property float quality\nproperty float height\nproperty float top\n"),
            std::string::npos);

  // Each feature alone, from either source, is a run of one feature as before:
  // the property and the same values in a file give the same bytes.
  writeFile(folder.file("g_attribute.att"), files.secondFeature);
  ASSERT_EQ(run({"g.ply", "4", "3", "50", "--seed", "3", "--attribute-file", "top.att",
                 "--labels-file", "file.lb"})
                .exitStatus,
            0);
  ASSERT_EQ(
      run({"g.ply", "4", "3", "50", "--seed", "3", "--labels-file", "companion.lb"}).exitStatus, 0);
  EXPECT_EQ(readFile(folder.file("file.lb")), readFile(folder.file("companion.lb")));
}

TEST_F(AttributeSources, BadPropertyRequestsAreUsageErrorsThatLeaveTheLabelFile) {
  writeFile(folder.file("m.ply"), squarePly);
  writeFile(folder.file("m.obj"), squareObj);
  writeFile(folder.file("m_labels.lb"), "old");
  const auto expectUsage = [&](const std::vector<std::string>& args, const std::string& needle) {
    const CommandResult result = run(args);
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_NE(result.err.find(needle), std::string::npos) << result.err;
    EXPECT_EQ(readFile(folder.file("m_labels.lb")), "old");
  };
  expectUsage({"m.ply", "2", "0", "0", "--attribute-property", "curvature"},
              "m.ply has no vertex property \"curvature\"; its vertex properties are: x, y, z, "
              "quality, extra (list)");
  expectUsage({"m.ply", "2", "0", "0", "--attribute-property", "extra"}, "is a list");
  expectUsage({"m.obj", "2", "0", "0", "--attribute-property", "quality"},
              "can only come from a PLY mesh; m.obj is read as OBJ");
  expectUsage({"m.obj", "2", "0", "0", "--compute-attribute", "roughness"},
              "unknown curvature measure \"roughness\"");
}

TEST_F(AttributeSources, ColouredMeshReadsBackThroughItsQualityProperty) {
  std::ostringstream values;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x)
      values << (x < 6 ? 0.0 : 3.0) + 0.37 * std::sin(7.0 * x + 3.0 * y) << '\n';
  writeFile(folder.file("g.obj"), gridObj(12, 12));
  writeFile(folder.file("g_attribute.att"), values.str());
  ASSERT_EQ(run({"g.obj", "3", "2", "20", "--seed", "5", "--colour-mesh", "c.ply"}).exitStatus, 0);
  ASSERT_EQ(
      run({"c.ply", "3", "2", "20", "--seed", "5", "--attribute-property", "quality"}).exitStatus,
      0);
  EXPECT_EQ(readFile(folder.file("c_labels.lb")), readFile(folder.file("g_labels.lb")));
}

TEST_F(AttributeSources, GaussianCurvatureSeparatesTheTorusHalves) {
  // 20 rings across, so that two rings lie on the circles that part the halves.
  writeFile(folder.file("t.obj"), torusObj(60, 20));
  const CommandResult result =
      run({"t.obj", "2", "3", "50", "--seed", "1", "--compute-attribute", "gaussian-curvature"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const LabelFileContent labels = parseLabelFile(readFile(folder.file("t_labels.lb")));
  ASSERT_EQ(labels.labels.size(), 60u * 20u);
  // Classes are numbered by increasing mean: the inner half (negative
  // curvature) is class 0, the outer half class 1.
  int outer = 0, outerRight = 0, inner = 0, innerRight = 0;
  for (int i = 0; i < 60; ++i)
    for (int j = 0; j < 20; ++j) {
      const double v = 6.283185307179586 * j / 20;
      const int label = labels.labels[static_cast<std::size_t>(i * 20 + j)];
      if (std::cos(v) > 1e-9) {
        ++outer;
        outerRight += label == 1 ? 1 : 0;
      } else if (std::cos(v) < -1e-9) {
        ++inner;
        innerRight += label == 0 ? 1 : 0;
      }
    }
  EXPECT_GE(outerRight, 0.95 * outer);
  EXPECT_GE(innerRight, 0.95 * inner);
  // The values were written as the mesh's attribute file; a run on it agrees.
  ASSERT_TRUE(fileExists(folder.file("t_attribute.att")));
  const std::string first = readFile(folder.file("t_labels.lb"));
  ASSERT_EQ(run({"t.obj", "2", "3", "50", "--seed", "1"}).exitStatus, 0);
  EXPECT_EQ(readFile(folder.file("t_labels.lb")), first);
}

TEST_F(AttributeSources, ComputedValuesNeverReplaceAnAttributeFile) {
  writeFile(folder.file("t.obj"), torusObj(30, 12));
  writeFile(folder.file("t_attribute.att"), "mine");
  const CommandResult kept = run({"t.obj", "2", "0", "0", "--compute-attribute", "curvedness"});
  EXPECT_EQ(kept.exitStatus, 0) << kept.err;
  EXPECT_NE(kept.err.find("t_attribute.att exists and is left as it is"), std::string::npos);
  EXPECT_EQ(readFile(folder.file("t_attribute.att")), "mine");
  const CommandResult elsewhere = run({"t.obj", "2", "0", "0", "--compute-attribute",
                                       "mean-curvature", "--attribute-file", "h.att"});
  EXPECT_EQ(elsewhere.exitStatus, 0) << elsewhere.err;
  const std::string written = readFile(folder.file("h.att"));
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 30 * 12);
  const CommandResult refused = run({"t.obj", "2", "0", "0", "--compute-attribute",
                                     "mean-curvature", "--attribute-file", "t_attribute.att"});
  EXPECT_EQ(refused.exitStatus, 2);
  EXPECT_EQ(readFile(folder.file("t_attribute.att")), "mine");
}

TEST_F(AttributeSources, CurvatureBeyondSinglePrecisionIsRefused) {
  // Curvature grows as the mesh shrinks: 1/length^2 for the Gaussian, 1/length
  // for the mean curvature, which then no float can hold.
  const std::vector<std::pair<std::string, double>> cases{{"gaussian-curvature", 1e-20},
                                                          {"mean-curvature", 1e-39}};
  for (const auto& [measure, scale] : cases) {
    writeFile(folder.file("tiny.obj"), torusObj(30, 12, scale));
    const CommandResult result = run({"tiny.obj", "2", "0", "0", "--compute-attribute", measure,
                                      "--attribute-file", measure + ".att"});
    EXPECT_EQ(result.exitStatus, 1) << measure;
    EXPECT_NE(result.err.find("the mesh's scale puts its curvature out of single precision"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(fileExists(folder.file(measure + ".att"))) << measure;
    EXPECT_FALSE(fileExists(folder.file("tiny_labels.lb"))) << measure;
  }
}

/// A flat hexagonal fan and a sharp cone sharing their centre, vertex 1: the
/// repair splits it, the flat fan (listed first) keeping vertex 1.
std::string bowtieObj() {
  std::ostringstream obj;
  obj << "v 0 0 0\n";
  for (const auto& [radius, height] : {std::pair{1.0, 0.0}, std::pair{0.3, -1.0}})
    for (int i = 0; i < 6; ++i)
      obj << "v " << radius * std::cos(i * 1.0471975511965976) << ' '
          << radius * std::sin(i * 1.0471975511965976) << ' ' << height << '\n';
  for (int i = 0; i < 6; ++i)
    obj << "f 1 " << 2 + i << ' ' << 2 + (i + 1) % 6 << '\n';
  for (int i = 0; i < 6; ++i)
    obj << "f 1 " << 8 + (i + 1) % 6 << ' ' << 8 + i << '\n';
  return obj.str();
}

/// The "attribute range" line of a --verbose run.
std::string rangeNote(const std::string& err) {
  const std::size_t start = err.find("attribute range");
  return start == std::string::npos ? "" : err.substr(start, err.find('\n', start) - start);
}

TEST_F(AttributeSources, RepairedRunOnItsWrittenValuesRepeatsItself) {
  writeFile(folder.file("b.obj"), bowtieObj());
  const CommandResult computed =
      run({"b.obj", "2", "0", "0", "--seed", "1", "--repair", "--verbose", "--compute-attribute",
           "gaussian-curvature", "--attribute-file", "b.att", "--labels-file", "computed.lb"});
  ASSERT_EQ(computed.exitStatus, 0) << computed.err;
  const std::string written = readFile(folder.file("b.att"));
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 13); // the input's vertices
  const CommandResult rerun = run({"b.obj", "2", "0", "0", "--seed", "1", "--repair", "--verbose",
                                   "--attribute-file", "b.att", "--labels-file", "rerun.lb"});
  ASSERT_EQ(rerun.exitStatus, 0) << rerun.err;
  // The copy of vertex 1 took vertex 1's value in both runs, not the cone's own.
  EXPECT_FALSE(rangeNote(computed.err).empty()) << computed.err;
  EXPECT_EQ(rangeNote(computed.err), rangeNote(rerun.err));
  EXPECT_EQ(readFile(folder.file("computed.lb")), readFile(folder.file("rerun.lb")));
}

} // namespace
} // namespace vornel::testing
