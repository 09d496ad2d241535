#pragma once
// Building the halfedge surface of a LabeledMesh from a checked polygon soup.

#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SoupTopology.hpp"

namespace vornel {

/// Builds soup, which findSoupProblem must accept, into the empty surface of
/// mesh, in time linear in the soup's size whatever the valence. The result
/// is the surface CGAL's incremental builder makes from the same soup, record
/// for record: the vertices in point order, one facet per soup facet in order,
/// the edges in the order facets first use them (each as the facet's halfedge,
/// then its opposite), every vertex's halfedge the one entering it in its last
/// facet, every facet's halfedge the one entering its first corner, and the
/// border halfedges linked around each vertex as that builder links them.
/// The soup's arrays are released as they are used, to keep the peak memory
/// near that of the surface itself.
void buildValidatedSurface(PolygonSoup&& soup, SoupTopology&& topology, LabeledMesh& mesh);

/// The same, working out the topology first.
void buildValidatedSurface(PolygonSoup&& soup, LabeledMesh& mesh);

/// Throws InvalidInputError when the soup has more vertices or corners than a
/// surface can index with 32-bit numbers.
void checkIndexable(const PolygonSoup& soup);

} // namespace vornel
