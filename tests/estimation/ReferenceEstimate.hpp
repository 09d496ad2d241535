#pragma once
// A straightforward reference for the parameter estimate, kept to check the
// estimator bit for bit: the table holds every distinct ring histogram once
// per label pair with its own copies of both count arrays, stable-sorted by
// decreasing product of the pair's centre counts; the usable rows carry dense
// features; the fit forms the dense design matrix and its pseudo-inverse. Its
// cost grows with D * K^3, so use it on small cases only.

#include "core/VertexGraph.hpp"
#include "estimation/Matrix.hpp"
#include "estimation/ParameterEstimator.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

namespace vornel::reference {

struct Row {
  std::vector<std::int32_t> neighbourCounts;
  std::vector<std::int32_t> centreCounts;
  int firstLabel = 0;
  int secondLabel = 1;
  float logRatio = 0.0f;
  std::vector<float> features; // empty unless usable
};

struct Estimate {
  std::vector<Row> distinct; // the collected rings, before the pair expansion
  std::vector<Row> rows;     // the expanded, ordered table
  int usableRows = 0;
  std::vector<float> parameters;
  EstimateFallback fallback = EstimateFallback::None;
};

inline float target(double ratio, int firstLabel) {
  const auto logRatio = static_cast<float>(std::log(ratio));
  return firstLabel != 0 ? logRatio : static_cast<float>(double(logRatio) - 1.0);
}

inline double agreementRatio(const std::vector<std::int32_t>& counts, int label) {
  const std::int32_t total = std::accumulate(counts.begin(), counts.end(), std::int32_t{0});
  const std::int32_t same = counts[label];
  const std::int32_t other = total - same;
  return double(other - same) / double(other + same);
}

inline std::vector<float> features(const Row& row, int K) {
  std::vector<float> result(static_cast<std::size_t>(K), 0.0f);
  if (row.firstLabel != 0) {
    result[row.firstLabel - 1] = 1.0f;
  }
  result[row.secondLabel - 1] = -1.0f;
  result[K - 1] = static_cast<float>(agreementRatio(row.neighbourCounts, row.secondLabel) -
                                     agreementRatio(row.neighbourCounts, row.firstLabel));
  return result;
}

inline std::int64_t product(const Row& row) {
  return std::int64_t{row.centreCounts[row.firstLabel]} * row.centreCounts[row.secondLabel];
}

/// Design rows and targets of one system, solved through the dense pseudo-inverse.
inline std::vector<float> solve(const std::vector<std::vector<float>>& design,
                                const std::vector<float>& targets, int K) {
  const auto m = static_cast<std::uint32_t>(design.size());
  const auto n = static_cast<std::uint32_t>(K);
  if (m < n) {
    return {};
  }
  Matrix<float> a(m, n);
  ColumnVector<float> y(m);
  for (std::uint32_t j = 0; j < m; ++j) {
    for (std::uint32_t k = 0; k < n; ++k) {
      a(j, k) = design[j][k];
    }
    y[j] = targets[j];
  }
  std::vector<float> x = a.pseudoInverse().multiply(y).data;
  for (const float value : x) {
    if (!std::isfinite(value) || std::fabs(double(value)) > 1e6) {
      return {};
    }
  }
  return x;
}

inline Estimate estimate(const VertexGraph& graph, const std::vector<std::int32_t>& labels, int K) {
  Estimate result;
  for (std::size_t v = 0; v < graph.vertexCount(); ++v) {
    if (graph.degree(v) == 0) {
      continue;
    }
    std::vector<std::int32_t> ring(static_cast<std::size_t>(K), 0);
    for (std::uint32_t e = graph.ringBegin(v); e < graph.ringEnd(v); ++e) {
      ++ring[labels[graph.neighbours[e]]];
    }
    auto match = std::find_if(result.distinct.begin(), result.distinct.end(),
                              [&](const Row& row) { return row.neighbourCounts == ring; });
    if (match == result.distinct.end()) {
      Row row;
      row.neighbourCounts = ring;
      row.centreCounts.assign(static_cast<std::size_t>(K), 0);
      result.distinct.push_back(row);
      match = result.distinct.end() - 1;
    }
    ++match->centreCounts[labels[v]];
  }
  for (const Row& row : result.distinct) {
    for (int a = 0; a < K - 1; ++a) {
      for (int b = a + 1; b < K; ++b) {
        result.rows.push_back(row);
        result.rows.back().firstLabel = a;
        result.rows.back().secondLabel = b;
      }
    }
  }
  std::stable_sort(result.rows.begin(), result.rows.end(),
                   [](const Row& x, const Row& y) { return product(x) > product(y); });
  for (Row& row : result.rows) {
    if (product(row) == 0) {
      break;
    }
    row.logRatio =
        target(double(row.centreCounts[row.firstLabel]) / double(row.centreCounts[row.secondLabel]),
               row.firstLabel);
    row.features = features(row, K);
    ++result.usableRows;
  }

  std::vector<std::vector<float>> design;
  std::vector<float> targets;
  for (int j = 0; j < result.usableRows; ++j) {
    design.push_back(result.rows[j].features);
    targets.push_back(result.rows[j].logRatio);
  }
  result.parameters = solve(design, targets, K);
  if (!result.parameters.empty()) {
    return result;
  }
  design.clear();
  targets.clear();
  for (const Row& row : result.rows) {
    const double na = row.centreCounts[row.firstLabel];
    const double nb = row.centreCounts[row.secondLabel];
    if (na != 0 || nb != 0) {
      design.push_back(features(row, K));
      targets.push_back(target((na + 0.5) / (nb + 0.5), row.firstLabel));
    }
  }
  result.parameters = solve(design, targets, K);
  result.fallback = EstimateFallback::SmoothedRatios;
  if (result.parameters.empty()) {
    result.parameters.assign(static_cast<std::size_t>(K), 1.0f);
    result.fallback = EstimateFallback::Neutral;
  }
  return result;
}

} // namespace vornel::reference
