#include "estimation/RingTable.hpp"

#include <algorithm>
#include <utility>

namespace vornel {

RingTable::RingTable(int classCount)
    : classCount_(classCount), index_(classCount),
      ring_(static_cast<std::size_t>(std::max(classCount, 0))) {}

std::int32_t RingTable::rowOf(const std::vector<std::int32_t>& ring) {
  bool inserted = false;
  const std::int32_t row = index_.findOrInsert(ring.data(), inserted);
  if (inserted) {
    NeighbourhoodConfiguration configuration;
    configuration.neighbourCounts = ring;
    configuration.centreCounts.assign(ring.size(), 0);
    configurations_.push_back(std::move(configuration));
  }
  return row;
}

void RingTable::addVertices(const VertexGraph& graph, const std::vector<std::int32_t>& labels,
                            std::size_t begin, std::size_t end) {
  for (std::size_t v = begin; v < end; ++v) {
    if (graph.degree(v) == 0) {
      continue;
    }
    std::fill(ring_.begin(), ring_.end(), 0);
    for (std::uint32_t e = graph.ringBegin(v); e < graph.ringEnd(v); ++e) {
      ++ring_[labels[graph.neighbours[e]]];
    }
    ++configurations_[rowOf(ring_)].centreCounts[labels[v]];
  }
}

void RingTable::append(const RingTable& later) {
  for (const NeighbourhoodConfiguration& configuration : later.configurations_) {
    std::vector<std::int32_t>& counts =
        configurations_[rowOf(configuration.neighbourCounts)].centreCounts;
    for (std::size_t l = 0; l < counts.size(); ++l) {
      counts[l] += configuration.centreCounts[l];
    }
  }
}

std::vector<NeighbourhoodConfiguration> RingTable::release() {
  index_ = ConfigurationIndex(classCount_);
  std::vector<NeighbourhoodConfiguration> configurations = std::move(configurations_);
  configurations_.clear();
  return configurations;
}

} // namespace vornel
