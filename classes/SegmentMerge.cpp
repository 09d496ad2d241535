#include "classes/SegmentMerge.hpp"

#include <functional>
#include <queue>
#include <utility>

namespace vornel {

namespace {

/// A neighbouring segment and the edges shared with it (a list may name the
/// same neighbour more than once until it is tallied).
struct SharedEdges {
  std::uint32_t segment;
  std::uint32_t edges;
};

class SegmentMerger {
public:
  SegmentMerger(const VertexGraph& graph, const Segments& segments, std::uint32_t minimumSize)
      : minimumSize_(minimumSize), parent_(segments.count()), sizes_(segments.sizes),
        labels_(segments.labels), neighbours_(segments.count()), tally_(segments.count(), 0) {
    for (std::size_t s = 0; s < parent_.size(); ++s)
      parent_[s] = static_cast<std::uint32_t>(s);
    listSmallSegmentNeighbours(graph, segments.ids);
  }

  SegmentMergeSummary run() {
    Queue queue;
    for (std::size_t s = 0; s < sizes_.size(); ++s)
      if (sizes_[s] < minimumSize_)
        queue.push({sizes_[s], static_cast<std::uint32_t>(s)});
    SegmentMergeSummary summary;
    while (!queue.empty()) {
      const auto [size, segment] = queue.top();
      queue.pop();
      if (parent_[segment] != segment || sizes_[segment] != size)
        continue; // merged or grown since it was queued
      tallyNeighbours(segment);
      if (neighbours_[segment].empty()) {
        ++summary.isolated;
        continue;
      }
      const std::uint32_t merged = absorb(segment, chooseNeighbour(segment));
      ++summary.merged;
      if (sizes_[merged] < minimumSize_)
        queue.push({sizes_[merged], merged});
    }
    return summary;
  }

  /// The joined segments are the segments of the new labels: each is
  /// connected and of one label, and a join takes in every neighbour of the
  /// label it takes, so no two neighbours share a label. They only need new
  /// numbers, by first vertex.
  void relabel(Segments& segments, std::vector<std::int32_t>& labels) {
    std::vector<std::int32_t> number(parent_.size(), -1);
    Segments joined;
    for (std::size_t v = 0; v < labels.size(); ++v) {
      const std::uint32_t root = find(static_cast<std::uint32_t>(segments.ids[v]));
      if (number[root] < 0) {
        number[root] = static_cast<std::int32_t>(joined.sizes.size());
        joined.sizes.push_back(sizes_[root]);
        joined.labels.push_back(labels_[root]);
      }
      segments.ids[v] = number[root];
      labels[v] = labels_[root];
    }
    segments.sizes = std::move(joined.sizes);
    segments.labels = std::move(joined.labels);
  }

private:
  using Entry = std::pair<std::uint32_t, std::uint32_t>; // size, segment: smallest first
  using Queue = std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>>;

  /// One entry per ring edge that leaves a segment below the size; large
  /// segments never choose a neighbour, so they need no list.
  void listSmallSegmentNeighbours(const VertexGraph& graph, const std::vector<std::int32_t>& ids) {
    for (std::size_t v = 0; v < ids.size(); ++v) {
      const auto segment = static_cast<std::size_t>(ids[v]);
      if (sizes_[segment] >= minimumSize_)
        continue;
      for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
        const auto other = static_cast<std::uint32_t>(ids[graph.neighbours[j]]);
        if (other != segment)
          neighbours_[segment].push_back({other, 1});
      }
    }
  }

  std::uint32_t find(std::uint32_t segment) {
    while (parent_[segment] != segment) {
      parent_[segment] = parent_[parent_[segment]];
      segment = parent_[segment];
    }
    return segment;
  }

  /// Rewrites the segment's list as one entry per current neighbour.
  void tallyNeighbours(std::uint32_t segment) {
    std::vector<SharedEdges>& list = neighbours_[segment];
    touched_.clear();
    for (const SharedEdges& entry : list) {
      const std::uint32_t other = find(entry.segment);
      if (other == segment)
        continue;
      if (tally_[other] == 0)
        touched_.push_back(other);
      tally_[other] += entry.edges;
    }
    list.clear();
    for (const std::uint32_t other : touched_) {
      list.push_back({other, tally_[other]});
      tally_[other] = 0;
    }
  }

  /// Most shared edges, then the larger segment, then the lower label (then
  /// the lower segment, which only picks among segments that join anyway).
  std::uint32_t chooseNeighbour(std::uint32_t segment) const {
    const std::vector<SharedEdges>& list = neighbours_[segment];
    const auto better = [this](const SharedEdges& a, const SharedEdges& b) {
      if (a.edges != b.edges)
        return a.edges > b.edges;
      if (sizes_[a.segment] != sizes_[b.segment])
        return sizes_[a.segment] > sizes_[b.segment];
      if (labels_[a.segment] != labels_[b.segment])
        return labels_[a.segment] < labels_[b.segment];
      return a.segment < b.segment;
    };
    SharedEdges best = list.front();
    for (const SharedEdges& entry : list)
      if (better(entry, best))
        best = entry;
    return best.segment;
  }

  /// Gives the segment the target's label and joins it with the target and
  /// every other neighbour of that label; returns the joined segment.
  std::uint32_t absorb(std::uint32_t segment, std::uint32_t target) {
    const std::int32_t label = labels_[target];
    members_.assign(1, segment);
    for (const SharedEdges& entry : neighbours_[segment])
      if (labels_[entry.segment] == label)
        members_.push_back(entry.segment);
    std::uint32_t root = target;
    std::uint64_t size = 0;
    for (const std::uint32_t member : members_) {
      size += sizes_[member];
      if (sizes_[member] > sizes_[root])
        root = member; // the largest as root keeps the trees shallow
    }
    for (const std::uint32_t member : members_)
      parent_[member] = root;
    sizes_[root] = static_cast<std::uint32_t>(size);
    labels_[root] = label;
    joinNeighbourLists(root);
    return root;
  }

  /// A joined segment still below the size needs its members' lists (the
  /// longest kept in place); one at the size or above never reads them again.
  void joinNeighbourLists(std::uint32_t root) {
    if (sizes_[root] >= minimumSize_) {
      for (const std::uint32_t member : members_)
        std::vector<SharedEdges>().swap(neighbours_[member]);
      return;
    }
    for (const std::uint32_t member : members_)
      if (neighbours_[member].size() > neighbours_[root].size())
        neighbours_[member].swap(neighbours_[root]);
    for (const std::uint32_t member : members_) {
      if (member == root)
        continue;
      neighbours_[root].insert(neighbours_[root].end(), neighbours_[member].begin(),
                               neighbours_[member].end());
      std::vector<SharedEdges>().swap(neighbours_[member]);
    }
  }

  const std::uint32_t minimumSize_;
  std::vector<std::uint32_t> parent_;
  std::vector<std::uint32_t> sizes_; // of each root
  std::vector<std::int32_t> labels_; // of each root
  std::vector<std::vector<SharedEdges>> neighbours_;
  std::vector<std::uint32_t> tally_; // zero outside tallyNeighbours
  std::vector<std::uint32_t> touched_;
  std::vector<std::uint32_t> members_;
};

} // namespace

SegmentMergeSummary mergeSmallSegments(const VertexGraph& graph, Segments& segments,
                                       std::uint32_t minimumSize,
                                       std::vector<std::int32_t>& labels) {
  if (minimumSize <= 1)
    return {};
  SegmentMerger merger(graph, segments, minimumSize);
  const SegmentMergeSummary summary = merger.run();
  if (summary.merged > 0)
    merger.relabel(segments, labels);
  return summary;
}

} // namespace vornel
