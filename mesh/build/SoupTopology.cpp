// The fans at a vertex are kept as a cyclic list of union-find sets of the
// vertex's corners while the vertex's corners are added in facet order.

#include "mesh/build/SoupTopology.hpp"

#include "core/Errors.hpp"

#include <algorithm>
#include <limits>

namespace vornel {
namespace {

constexpr std::uint32_t none = CornerPairing::none;

/// Replays how the fans at one vertex are ordered around it as its facets are
/// added in soup order. The fans are kept as a cyclic list of union-find sets
/// of the vertex's corners.
class FanOrderReplay {
public:
  explicit FanOrderReplay(const CornerPairing& pairing) : pairing_(pairing) {}

  void run(std::uint32_t vertex, std::unordered_map<std::uint32_t, std::uint32_t>& succession) {
    collectCorners(vertex);
    for (std::uint32_t i = 0; i < corners_.size(); ++i) {
      add(i);
    }
    recordSuccession(succession);
  }

private:
  void collectCorners(std::uint32_t vertex) {
    corners_.clear();
    for (const std::uint64_t* e = pairing_.cornersAtBegin(vertex);
         e != pairing_.cornersAtEnd(vertex); ++e) {
      corners_.push_back(static_cast<std::uint32_t>(*e));
    }
    std::sort(corners_.begin(), corners_.end()); // the order the facets are added in
    const auto count = corners_.size();
    parent_.resize(count);
    fanNext_.resize(count);
    fanPrevious_.resize(count);
  }

  /// The local index of a corner at this vertex.
  std::uint32_t local(std::uint32_t corner) const {
    return static_cast<std::uint32_t>(std::lower_bound(corners_.begin(), corners_.end(), corner) -
                                      corners_.begin());
  }

  std::uint32_t find(std::uint32_t i) {
    while (parent_[i] != i) {
      parent_[i] = parent_[parent_[i]];
      i = parent_[i];
    }
    return i;
  }

  void add(std::uint32_t i) {
    parent_[i] = i;
    const std::uint32_t corner = corners_[i];
    // The corner before this one around the vertex shares its incoming edge,
    // the one after it its outgoing edge, when those facets came earlier.
    const std::uint32_t before = pairing_.twin(pairing_.previous(corner));
    const std::uint32_t across = pairing_.twin(corner);
    const bool joinsBefore = before != none && before < corner;
    const bool joinsAfter = across != none && across < corner;
    if (i == 0) {
      fanNext_[i] = fanPrevious_[i] = i;
    } else if (!joinsBefore && !joinsAfter) {
      insertAfter(find(i - 1), i); // after the fan of the vertex's last facet
    } else if (joinsBefore && !joinsAfter) {
      parent_[i] = find(local(before));
    } else if (!joinsBefore) {
      parent_[i] = find(local(pairing_.next(across)));
    } else {
      const std::uint32_t a = find(local(before));
      const std::uint32_t b = find(local(pairing_.next(across)));
      if (a == b) {
        throw InvalidInputError("a vertex closes a fan beside another fan");
      }
      join(a, b);
      parent_[i] = a;
    }
  }

  void insertAfter(std::uint32_t fan, std::uint32_t i) {
    const std::uint32_t after = fanNext_[fan];
    fanNext_[i] = after;
    fanPrevious_[i] = fan;
    fanPrevious_[after] = i;
    fanNext_[fan] = i;
  }

  /// The fans a, p1 .. pk, b, q1 .. qm around the vertex become ab, q1 .. qm, p1 .. pk.
  void join(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t p1 = fanNext_[a];
    const std::uint32_t pk = fanPrevious_[b];
    const std::uint32_t afterB = fanNext_[b];
    fanNext_[a] = afterB;
    fanPrevious_[afterB] = a;
    if (p1 != b) {
      const std::uint32_t beforeA = fanPrevious_[a];
      fanNext_[beforeA] = p1;
      fanPrevious_[p1] = beforeA;
      fanNext_[pk] = a;
      fanPrevious_[a] = pk;
    }
    parent_[b] = a;
  }

  void recordSuccession(std::unordered_map<std::uint32_t, std::uint32_t>& succession) {
    constexpr std::uint32_t unset = std::numeric_limits<std::uint32_t>::max();
    fanStart_.assign(corners_.size(), unset);
    fanEnd_.assign(corners_.size(), unset);
    for (std::uint32_t i = 0; i < corners_.size(); ++i) {
      const std::uint32_t corner = corners_[i];
      if (pairing_.twin(pairing_.previous(corner)) == none) {
        fanStart_[find(i)] = corner;
      }
      if (pairing_.twin(corner) == none) {
        fanEnd_[find(i)] = corner;
      }
    }
    const std::uint32_t first = find(0);
    std::uint32_t fan = first;
    do {
      succession.emplace(fanEnd_[fan], fanStart_[fanNext_[fan]]);
      fan = fanNext_[fan];
    } while (fan != first);
  }

  const CornerPairing& pairing_;
  std::vector<std::uint32_t> corners_;
  std::vector<std::uint32_t> parent_;
  std::vector<std::uint32_t> fanNext_;
  std::vector<std::uint32_t> fanPrevious_;
  std::vector<std::uint32_t> fanStart_;
  std::vector<std::uint32_t> fanEnd_;
};

/// The vertices with more than one open fan: each open fan ends in exactly one
/// corner whose outgoing edge is a border edge.
std::vector<std::uint32_t> pinchedVerticesOf(const CornerPairing& pairing) {
  std::vector<std::uint32_t> borderEdges;
  for (std::uint32_t k = 0; k < pairing.cornerCount(); ++k) {
    if (pairing.twin(k) == none) {
      borderEdges.push_back(pairing.vertexOf(k));
    }
  }
  std::sort(borderEdges.begin(), borderEdges.end());
  std::vector<std::uint32_t> pinched;
  for (std::size_t i = 1; i < borderEdges.size(); ++i) {
    if (borderEdges[i] == borderEdges[i - 1] &&
        (pinched.empty() || pinched.back() != borderEdges[i])) {
      pinched.push_back(borderEdges[i]);
    }
  }
  return pinched;
}

} // namespace

SoupTopology topologyOf(CornerPairing& pairing) {
  SoupTopology topology;
  topology.pinchedVertices = pinchedVerticesOf(pairing);
  FanOrderReplay replay(pairing);
  for (const std::uint32_t v : topology.pinchedVertices) {
    replay.run(v, topology.nextFanStart);
  }
  topology.twins = pairing.takeTwins();
  return topology;
}

} // namespace vornel
