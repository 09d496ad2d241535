#include "optimisation/LocalEnergy.hpp"

#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vornel {
namespace {

// Vertex 0 in the middle, joined to vertices 1 .. 4; vertex 5 stands alone.
VertexGraph starWithIsolatedVertex() {
  return VertexGraph::fromRings({{1, 2, 3, 4}, {0}, {0}, {0}, {0}, {}});
}

EnergyModel modelOf(const Segmenter& segmenter, const std::vector<float>& parameters) {
  return EnergyModel::fromSegmenter(segmenter, parameters);
}

TEST(LocalEnergy, NeighbourhoodTermThreeAgreeingOfFour) {
  const VertexGraph graph = starWithIsolatedVertex();
  Segmenter segmenter(graph, std::vector<double>(6, 0.0));
  segmenter.labels = {0, 0, 0, 0, 1, 0};
  segmenter.means = {0.0, 10.0};
  segmenter.variances = {1.0, 1.0};
  segmenter.classCount = 2;
  const double beta = 3.0;
  const EnergyModel model = modelOf(segmenter, {0.25f, static_cast<float>(beta)});
  // Under label 0: S = 3, D = 1, r = -0.5.
  EXPECT_DOUBLE_EQ(neighbourhoodEnergy(graph, segmenter.labels, 0, 0, model), -0.5 * beta - 1.0);
  // Under label 1: S = 1, D = 3, r = 0.5, theta_1 = 0.25.
  EXPECT_DOUBLE_EQ(neighbourhoodEnergy(graph, segmenter.labels, 0, 1, model), 0.5 * beta - 0.25);
}

TEST(LocalEnergy, WorkedExampleEnergies) {
  const VertexGraph graph = starWithIsolatedVertex();
  Segmenter segmenter(graph, {4.0, 10.0, 10.0, 10.0, 10.0, 0.0});
  segmenter.labels = {0, 1, 1, 1, 1, 0};
  segmenter.means = {0.0, 10.0};
  segmenter.variances = {1.0, 1.0};
  segmenter.classCount = 2;
  const EnergyModel model = modelOf(segmenter, {1.0f, 1.0f});
  EXPECT_EQ(localEnergy(graph, segmenter.labels, segmenter.values, 0, 0, model), 8.0);
  EXPECT_EQ(localEnergy(graph, segmenter.labels, segmenter.values, 0, 1, model), 16.0);
}

TEST(LocalEnergy, DataTermIsZeroAtTheMeanAndScaledByVariance) {
  const VertexGraph graph = starWithIsolatedVertex();
  Segmenter segmenter(graph, std::vector<double>(6, 0.0));
  segmenter.means = {2.5, 10.0};
  segmenter.variances = {1.0, 4.0};
  segmenter.classCount = 2;
  const EnergyModel model = modelOf(segmenter, {1.0f, 1.0f});
  EXPECT_EQ(model.dataTerm(0, 2.5), 0.0);
  EXPECT_EQ(model.dataTerm(1, 6.0), 2.0); // 0.5 * 16 / 4: the variance divides, not its root
}

TEST(LocalEnergy, IsolatedVertexHasNoNeighbourhoodInfluence) {
  const VertexGraph graph = starWithIsolatedVertex();
  Segmenter segmenter(graph, std::vector<double>(6, 0.0));
  segmenter.labels = {0, 0, 0, 0, 0, 1};
  segmenter.means = {0.0, 10.0};
  segmenter.variances = {1.0, 1.0};
  segmenter.classCount = 2;
  const EnergyModel model = modelOf(segmenter, {0.75f, 5.0f});
  EXPECT_EQ(neighbourhoodEnergy(graph, segmenter.labels, 5, 0, model), -1.0);
  EXPECT_EQ(neighbourhoodEnergy(graph, segmenter.labels, 5, 1, model), -0.75);
}

TEST(LocalEnergy, ZeroVarianceClassGivesFiniteEnergiesAndPrefersItsValue) {
  const VertexGraph graph = starWithIsolatedVertex();
  Segmenter segmenter(graph, {7.0, 7.0, 7.0, 0.0, 10.0, 7.5});
  segmenter.labels = {0, 0, 0, 1, 1, 0};
  segmenter.means = {7.0, 5.0};
  segmenter.variances = {0.0, 25.0};
  segmenter.classCount = 2;
  const EnergyModel model = modelOf(segmenter, {1.0f, 1.0f});
  EXPECT_GT(model.variances[0], 0.0);
  EXPECT_EQ(model.variances[1], 25.0);
  EXPECT_EQ(model.dataTerm(0, 7.0), 0.0);
  for (const double x : segmenter.values) {
    EXPECT_TRUE(std::isfinite(model.dataTerm(0, x))) << x;
    EXPECT_LE(model.dataTerm(0, x), 5e11) << x;
  }
  // A value off the zero-variance mean costs far more there than in the wide class.
  EXPECT_GT(model.dataTerm(0, 7.5), model.dataTerm(1, 7.5));
}

TEST(LocalEnergy, RejectsShortParametersAndTooManyClasses) {
  const VertexGraph graph = starWithIsolatedVertex();
  Segmenter segmenter(graph, std::vector<double>(6, 0.0));
  segmenter.means = {0.0, 1.0, 2.0};
  segmenter.variances = {1.0, 1.0, 1.0};
  segmenter.classCount = 3;
  EXPECT_THROW(modelOf(segmenter, {1.0f, 1.0f}), InvalidInputError);
  segmenter.classCount = 257;
  segmenter.means.assign(257, 0.0);
  segmenter.variances.assign(257, 1.0);
  EXPECT_THROW(modelOf(segmenter, std::vector<float>(257, 1.0f)), InvalidInputError);
}

} // namespace
} // namespace vornel
