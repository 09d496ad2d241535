#pragma once
// Building the halfedge surface of a LabeledMesh from a checked polygon soup.

#include "mesh/PolygonSoup.hpp"

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
/// near that of the surface itself. Throws InvalidInputError when the soup
/// has more corners than the surface can index.
void buildValidatedSurface(PolygonSoup&& soup, LabeledMesh& mesh);

} // namespace vornel
