// Builds a polygon soup into the halfedge surface of a LabeledMesh with CGAL's
// incremental builder: every point in order, then every facet in order.

#include "mesh/Errors.hpp"
#include "mesh/io/FanCheck.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/SurfaceCheck.hpp"

#include <CGAL/Polyhedron_incremental_builder_3.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vornel {
namespace {

using Builder = CGAL::Polyhedron_incremental_builder_3<HalfedgeDS>;

std::string facetPlace(const PolygonSoup& soup, std::size_t facet, const std::string& sourceName) {
  if (facet < soup.facetLines.size()) {
    return sourceName + ":" + std::to_string(soup.facetLines[facet]);
  }
  return sourceName + ": facet " + std::to_string(facet + 1);
}

/// The common case, checked without building any message: at least three
/// corners, all in range, no vertex twice.
bool cornersAreFine(const std::uint32_t* first, const std::uint32_t* last,
                    std::size_t pointCount) {
  if (last - first == 3) {
    const std::uint32_t a = first[0];
    const std::uint32_t b = first[1];
    const std::uint32_t c = first[2];
    return a < pointCount && b < pointCount && c < pointCount && a != b && b != c && a != c;
  }
  if (last - first < 3) {
    return false;
  }
  for (const std::uint32_t* c = first; c != last; ++c) {
    if (*c >= pointCount || std::find(first, c, *c) != c) {
      return false;
    }
  }
  return true;
}

/// A corner list the builder must never see: too few corners, an index out of
/// range or a vertex used twice. Returns an empty string when the facet is fine.
std::string cornerProblem(const std::uint32_t* first, const std::uint32_t* last,
                          std::size_t pointCount) {
  const auto count = static_cast<std::size_t>(last - first);
  if (count < 3) {
    return "facet has " + std::to_string(count) + " corners; at least 3 are needed";
  }
  for (const std::uint32_t* c = first; c != last; ++c) {
    if (*c >= pointCount) {
      return "facet corner " + std::to_string(*c + 1) + " is beyond the " +
             std::to_string(pointCount) + " vertices";
    }
  }
  // Facets are short: a quadratic scan beats sorting a copy for them.
  for (const std::uint32_t* c = first + 1; c != last; ++c) {
    if (std::find(first, c, *c) != c) {
      return "facet repeats vertex " + std::to_string(*c + 1);
    }
  }
  return {};
}

template <class Error>
void rejectFacet(Builder& builder, LabeledMesh& mesh, const std::string& place,
                 const std::string& reason) {
  builder.rollback();
  mesh.surface.clear();
  throw Error(place + ": " + reason);
}

} // namespace

void buildSurface(const PolygonSoup& soup, LabeledMesh& mesh, const std::string& sourceName) {
  mesh.surface.clear();
  // The builder accepts a facet that closes a fan beside another fan and then
  // loops for ever; it must not see such a soup.
  if (const auto problem = findClosedFanBesideAnother(soup)) {
    throw NonManifoldError(facetPlace(soup, problem->facet, sourceName) +
                            ": facet cannot be added: vertex " +
                            std::to_string(problem->vertex + 1) +
                            " would carry a closed fan beside another fan (non-manifold vertex)");
  }
  Builder builder(mesh.surface.hds(), false);
  builder.begin_surface(soup.points.size(), soup.facetCount(), soup.corners.size() + 16,
                        Builder::RELATIVE_INDEXING);
  for (const Point3& point : soup.points) {
    builder.add_vertex(point);
  }
  const std::uint32_t* const corners = soup.corners.data();
  for (std::size_t f = 0; f < soup.facetCount(); ++f) {
    const std::uint32_t* const first = corners + soup.facetOffsets[f];
    const std::uint32_t* const last = corners + soup.facetOffsets[f + 1];
    if (!cornersAreFine(first, last, soup.points.size())) {
      rejectFacet<InvalidInputError>(builder, mesh, facetPlace(soup, f, sourceName),
                                     cornerProblem(first, last, soup.points.size()));
    }
    builder.begin_facet();
    for (const std::uint32_t* c = first; c != last; ++c) {
      builder.add_vertex_to_facet(*c);
    }
    builder.end_facet();
    if (builder.error()) {
      rejectFacet<NonManifoldError>(builder, mesh, facetPlace(soup, f, sourceName),
                  "facet cannot be added: non-manifold edge or vertex, inconsistent "
                  "orientation or repeated vertex");
    }
  }
  // end_surface keeps vertices that no facet uses, as wanted here.
  builder.end_surface();
  // A last guard for the walks that follow: every ring closes.
  try {
    checkVertexRings(mesh.surface, sourceName);
  } catch (const InvalidInputError&) {
    mesh.surface.clear();
    throw;
  }
}

} // namespace vornel
