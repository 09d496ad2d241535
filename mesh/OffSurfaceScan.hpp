#pragma once
// The OFF surface scan: CGAL's OFF file scanner feeding the incremental builder,
// record by record, from a header that has already been read and checked.

#include "mesh/LabeledMesh.hpp"

#include <CGAL/IO/OFF/File_header_OFF.h>

#include <istream>

namespace vornel {

/// Builds the surface of mesh from the vertex and facet records that follow
/// the header in `in`, in the way CGAL's Polyhedron_scan_OFF does (vertices,
/// then facets, unused vertices removed), but from the given header instead of
/// reading it a second time. On an error the stream's fail or bad bit is set,
/// as the scan sets it; the surface may then be partly built.
void scanOffSurface(std::istream& in, const CGAL::File_header_OFF& header, LabeledMesh& mesh);

} // namespace vornel
