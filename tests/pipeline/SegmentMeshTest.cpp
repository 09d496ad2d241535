// The library entry point on a caller's own mesh: vertex and facet arrays in,
// labels and class statistics out.

#include "pipeline/SegmentMesh.hpp"
#include "app/CliSupport.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

namespace vornel {
namespace {

using Positions = std::vector<std::array<float, 3>>;
using Facets = std::vector<std::vector<std::uint32_t>>;

struct GridMesh {
  Positions positions;
  Facets facets;
  int width = 0;
};

/// A width x height grid in z = 0, two triangles per cell, vertices row by row.
GridMesh makeGrid(int width, int height) {
  GridMesh grid;
  grid.width = width;
  const auto at = [width](int x, int y) { return static_cast<std::uint32_t>(y * width + x); };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      grid.positions.push_back({static_cast<float>(x), static_cast<float>(y), 0.0f});
  for (int y = 0; y + 1 < height; ++y)
    for (int x = 0; x + 1 < width; ++x) {
      grid.facets.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1)});
      grid.facets.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1)});
    }
  return grid;
}

/// Region of a vertex: which of `regions` vertical stripes it lies in.
int regionOf(const GridMesh& grid, std::size_t vertex, int regions) {
  return static_cast<int>(vertex % grid.width) * regions / grid.width;
}

/// Region r's value is r * spacing plus Gaussian noise, rounded to float the
/// way the attribute file reader rounds.
std::vector<double> stripeValues(const GridMesh& grid, int regions, double spacing, double noise,
                                 unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> gaussian(0.0, noise);
  std::vector<double> values;
  for (std::size_t v = 0; v < grid.positions.size(); ++v)
    values.push_back(static_cast<float>(regionOf(grid, v, regions) * spacing + gaussian(engine)));
  return values;
}

SegmentationOptions optionsFor(int classes, int passes, int sweeps, unsigned seed) {
  SegmentationOptions options;
  options.classCount = classes;
  options.filterPasses = passes;
  options.sweepCount = sweeps;
  options.seed = seed;
  return options;
}

std::string objText(const GridMesh& grid) {
  std::string text;
  char line[96];
  for (const auto& p : grid.positions) {
    std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", p[0], p[1], p[2]);
    text += line;
  }
  for (const auto& facet : grid.facets) {
    text += "f";
    for (const std::uint32_t corner : facet)
      text += " " + std::to_string(corner + 1);
    text += "\n";
  }
  return text;
}

std::string attributeText(const std::vector<double>& values) {
  std::string text;
  char line[48];
  for (const double value : values) {
    std::snprintf(line, sizeof line, "%.9g\n", value);
    text += line;
  }
  return text;
}

void expectRejected(const Positions& positions, const Facets& facets,
                    const std::vector<double>& values, const SegmentationOptions& options,
                    const std::string& wanted) {
  try {
    segmentMesh(positions, facets, values, options);
    ADD_FAILURE() << "no error; expected one naming \"" << wanted << "\"";
  } catch (const InvalidInputError& error) {
    EXPECT_NE(std::string(error.what()).find(wanted), std::string::npos) << error.what();
  }
}

TEST(SegmentMesh, TwoClearHalvesComeOutAsTheTwoClasses) {
  const GridMesh grid = makeGrid(12, 8);
  const std::vector<double> values = stripeValues(grid, 2, 4.0, 0.3, 11);
  const SegmentationResult result =
      segmentMesh(grid.positions, grid.facets, values, optionsFor(2, 2, 20, 3));
  ASSERT_EQ(result.labels.size(), grid.positions.size());
  for (std::size_t v = 0; v < result.labels.size(); ++v)
    EXPECT_EQ(result.labels[v], regionOf(grid, v, 2)) << "vertex " << v;
  ASSERT_EQ(result.means.size(), 2u);
  EXPECT_NEAR(result.means[0], 0.0, 0.2);
  EXPECT_NEAR(result.means[1], 4.0, 0.2);
  EXPECT_EQ(result.variances.size(), 2u);
  EXPECT_EQ(result.parameters.size(), 2u);
}

TEST(SegmentMesh, OneClassGivesTheMeanAndVarianceOfAllValues) {
  const GridMesh grid = makeGrid(2, 2);
  const SegmentationResult result =
      segmentMesh(grid.positions, grid.facets, {1.0, 2.0, 3.0, 6.0}, optionsFor(1, 3, 10, 1));
  EXPECT_EQ(result.labels, std::vector<std::int32_t>(4, 0));
  ASSERT_EQ(result.means.size(), 1u);
  EXPECT_DOUBLE_EQ(result.means[0], 3.0);
  ASSERT_EQ(result.variances.size(), 1u);
  EXPECT_DOUBLE_EQ(result.variances[0], 3.5); // (4 + 1 + 0 + 9) / 4
}

TEST(SegmentMesh, KeepsVerticesThatNoFacetUses) {
  GridMesh grid = makeGrid(8, 6);
  std::vector<double> values = stripeValues(grid, 2, 4.0, 0.2, 5);
  grid.positions.push_back({20.0f, 20.0f, 0.0f});
  values.push_back(4.1); // alone, it follows its value into the high class
  const SegmentationResult result =
      segmentMesh(grid.positions, grid.facets, values, optionsFor(2, 1, 10, 9));
  ASSERT_EQ(result.labels.size(), grid.positions.size());
  EXPECT_EQ(result.labels.back(), 1);
  EXPECT_EQ(result.labels.front(), 0);
}

TEST(SegmentMesh, GivesTheLabelsOfTheCommandLineForTheSameMeshAndOptions) {
  const GridMesh grid = makeGrid(16, 12);
  const std::vector<double> values = stripeValues(grid, 3, 1.0, 0.45, 21);
  testing::TempFolder folder;
  testing::writeFile(folder.file("m.obj"), objText(grid));
  testing::writeFile(folder.file("m_attribute.att"), attributeText(values));
  const testing::CommandResult run =
      testing::runVornel({folder.file("m.obj"), "3", "2", "15", "--seed", "77", "--temperature",
                          "2.5", "--cooling", "0.9"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const testing::LabelFileContent written =
      testing::parseLabelFile(testing::readFile(folder.file("m_labels.lb")));

  SegmentationOptions options = optionsFor(3, 2, 15, 77);
  options.initialTemperature = 2.5;
  options.coolingFactor = 0.9;
  const SegmentationResult result = segmentMesh(grid.positions, grid.facets, values, options);
  EXPECT_EQ(written.classCount, 3);
  EXPECT_EQ(written.labels, std::vector<int>(result.labels.begin(), result.labels.end()));
}

TEST(SegmentMesh, TheScheduleOptionsReachTheAnnealing) {
  const GridMesh grid = makeGrid(16, 12);
  const std::vector<double> values = stripeValues(grid, 3, 1.0, 0.6, 4);
  SegmentationOptions hot = optionsFor(3, 0, 3, 5);
  SegmentationOptions cold = hot;
  hot.initialTemperature = 50.0;
  hot.coolingFactor = 1.0;
  cold.initialTemperature = 0.001;
  const SegmentationResult a = segmentMesh(grid.positions, grid.facets, values, hot);
  const SegmentationResult b = segmentMesh(grid.positions, grid.facets, values, cold);
  const SegmentationResult again = segmentMesh(grid.positions, grid.facets, values, hot);
  EXPECT_EQ(a.labels, again.labels);
  EXPECT_NE(a.labels, b.labels);
}

TEST(SegmentMesh, BadFacetArraysAreRejectedNamingTheFacet) {
  const GridMesh grid = makeGrid(3, 3);
  const std::vector<double> values(9, 1.0);
  const SegmentationOptions options = optionsFor(1, 0, 0, 1);
  Facets outOfRange = grid.facets;
  outOfRange[2] = {0, 1, 9};
  expectRejected(grid.positions, outOfRange, values, options,
                 "facet 3 corner 9 is beyond the 9 vertices (vertices numbered from 0)");
  Facets tooShort = grid.facets;
  tooShort[0] = {0, 1};
  expectRejected(grid.positions, tooShort, values, options, "facet 1 has 2 corners");
  Facets repeated = grid.facets;
  repeated[1] = {0, 4, 4};
  expectRejected(grid.positions, repeated, values, options,
                 "facet 2 repeats vertex 4 (vertices numbered from 0)");
  // The same edge 0 -> 1 used twice in the same direction: inconsistent orientation.
  const Facets flipped = {{0, 1, 4}, {0, 1, 3}};
  expectRejected(grid.positions, flipped, values, options, "facet 2 cannot be added");
  // Three triangles on the edge 0 - 1: a non-manifold edge.
  const Facets fin = {{0, 1, 4}, {1, 0, 3}, {0, 1, 5}};
  expectRejected(grid.positions, fin, values, options, "facet 3 cannot be added");
}

TEST(SegmentMesh, BadArraysAndOptionsAreRejected) {
  const GridMesh grid = makeGrid(3, 3);
  const std::vector<double> values(9, 1.0);
  expectRejected({}, {}, {}, optionsFor(1, 0, 0, 1), "no vertices");
  expectRejected(grid.positions, grid.facets, std::vector<double>(8, 1.0), optionsFor(1, 0, 0, 1),
                 "holds 8 values; the mesh has 9 vertices");
  expectRejected(grid.positions, grid.facets, values, optionsFor(10, 0, 0, 1), "10");
  SegmentationOptions options = optionsFor(2, 0, 5, 1);
  options.initialTemperature = 0.0;
  expectRejected(grid.positions, grid.facets, values, options, "temperature must be above 0");
  options.initialTemperature.reset();
  options.coolingFactor = 1.5;
  expectRejected(grid.positions, grid.facets, values, options, "cooling factor must lie in (0, 1]");
}

MeshArrays flatArrays(const GridMesh& grid) {
  MeshArrays mesh;
  for (const auto& p : grid.positions)
    mesh.coordinates.insert(mesh.coordinates.end(), p.begin(), p.end());
  for (const auto& facet : grid.facets) {
    mesh.corners.insert(mesh.corners.end(), facet.begin(), facet.end());
    mesh.facetOffsets.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
  }
  return mesh;
}

void expectFlatRejected(MeshArrays mesh, std::vector<double> values, const std::string& wanted) {
  try {
    segmentMesh(std::move(mesh), std::move(values), optionsFor(2, 1, 3, 1));
    ADD_FAILURE() << "no error; expected one naming \"" << wanted << "\"";
  } catch (const InvalidInputError& error) {
    EXPECT_NE(std::string(error.what()).find(wanted), std::string::npos) << error.what();
  }
}

TEST(SegmentMesh, FlatArraysGiveTheResultOfTheFacetLists) {
  GridMesh grid = makeGrid(14, 10);
  // A quad in place of the first two triangles: facets of mixed sizes.
  grid.facets[0] = {0, 1, 15, 14};
  grid.facets.erase(grid.facets.begin() + 1);
  const std::vector<double> values = stripeValues(grid, 3, 1.0, 0.5, 8);
  const SegmentationOptions options = optionsFor(3, 2, 12, 19);
  const SegmentationResult lists = segmentMesh(grid.positions, grid.facets, values, options);
  const SegmentationResult flat = segmentMesh(flatArrays(grid), values, options);
  EXPECT_EQ(flat.labels, lists.labels);
  EXPECT_EQ(flat.means, lists.means);
  EXPECT_EQ(flat.variances, lists.variances);
  EXPECT_EQ(flat.parameters, lists.parameters);
}

TEST(SegmentMesh, BadFlatArraysAndValuesAreRejected) {
  const GridMesh grid = makeGrid(3, 3);
  const std::vector<double> values(9, 1.0);
  MeshArrays ragged = flatArrays(grid);
  ragged.coordinates.pop_back();
  expectFlatRejected(ragged, std::vector<double>(8, 1.0), "holds 26 numbers, not three per vertex");
  MeshArrays noOffsets = flatArrays(grid);
  noOffsets.facetOffsets.clear();
  expectFlatRejected(noOffsets, values, "must run from 0 to the corner count (24)");
  MeshArrays shortOffsets = flatArrays(grid);
  shortOffsets.facetOffsets.back() = 23;
  expectFlatRejected(shortOffsets, values, "must run from 0 to the corner count (24)");
  MeshArrays decreasing = flatArrays(grid);
  decreasing.facetOffsets[2] = 2;
  expectFlatRejected(decreasing, values, "decrease at facet 2");
  std::vector<double> notANumber = values;
  notANumber[4] = std::nan("");
  expectFlatRejected(flatArrays(grid), notANumber, "the value of vertex 4 is nan");
  expectRejected(grid.positions, grid.facets, notANumber, optionsFor(2, 1, 3, 1),
                 "the value of vertex 4 is nan, not a finite number");
}

} // namespace
} // namespace vornel
