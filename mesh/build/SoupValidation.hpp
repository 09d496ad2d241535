#pragma once
// The one check every polygon soup passes before the halfedge surface is
// built from it, whatever file format or caller it came from.

#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SoupTopology.hpp"

#include <cstddef>
#include <optional>
#include <string>

namespace vornel {

/// The first facet, in soup order, that the halfedge surface cannot take.
struct SoupProblem {
  std::size_t facet = 0;
  std::string reason;       // completes "facet ...": "repeats vertex 4", ...
  bool nonManifold = false; // an edge or vertex the surface cannot hold; --repair mends it
};

/// Checks, facet by facet in soup order: at least three corners, every corner
/// a vertex of the soup, no vertex twice in a facet, no directed edge in two
/// facets (an edge with more than two facets, or two facets oriented
/// inconsistently), and no vertex whose facets close a fan beside another fan.
/// Several open fans at one vertex are fine: the border joins them. Linear in
/// the soup's size, up to sorting each vertex's corners. When the soup passes
/// and topology is given, it receives what the surface builder needs.
/// Throws InvalidInputError for a soup too large to index.
std::optional<SoupProblem> findSoupProblem(const PolygonSoup& soup,
                                           SoupTopology* topology = nullptr);

/// The problem as the message of the error the readers throw:
/// "<facet's place> <reason>".
std::string describeSoupProblem(const PolygonSoup& soup, const SoupProblem& problem,
                                const std::string& sourceName);

/// Throws InvalidInputError, or NonManifoldError for a non-manifold problem,
/// with describeSoupProblem's message.
[[noreturn]] void refuseSoup(const PolygonSoup& soup, const SoupProblem& problem,
                             const std::string& sourceName);

/// findSoupProblem, then refuseSoup for a problem found.
void validateSoup(const PolygonSoup& soup, const std::string& sourceName);

} // namespace vornel
