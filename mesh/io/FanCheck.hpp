#pragma once
// A check of a polygon soup before the incremental builder sees it: no vertex
// may come to carry a closed fan of facets beside another fan.

#include "mesh/PolygonSoup.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vornel {

/// The facet (0-based, in soup order) at which a vertex (0-based) first
/// carries a closed fan beside another fan.
struct ClosedFanProblem {
  std::size_t facet = 0;
  std::uint32_t vertex = 0;
};

/// Adds the facets in order, up to the first facet the builder refuses on its
/// own (fewer than three corners, a corner out of range or repeated, or a
/// directed edge that an earlier facet already has), and reports the first
/// facet after which some vertex carries a closed fan and another fan. The
/// builder refuses some of these facets itself, but accepts the facet that
/// closes a fan beside another one and then leaves rings that never close, on
/// which its own later lookups and every later ring walk loop for ever.
/// Several open fans at one vertex are fine: the border joins them into one ring.
std::optional<ClosedFanProblem> findClosedFanBesideAnother(const PolygonSoup& soup);

} // namespace vornel
