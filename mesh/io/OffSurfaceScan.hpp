#pragma once
// The OFF surface scan: CGAL's OFF file scanner reads the records, the
// incremental builder builds them, from a header that has already been read
// and checked.

#include "mesh/LabeledMesh.hpp"

#include <CGAL/IO/OFF/File_header_OFF.h>

#include <istream>
#include <string>

namespace vornel {

/// Builds the surface of mesh from the vertex and facet records that follow
/// the header in `in`, as CGAL's Polyhedron_scan_OFF does (vertices, then
/// facets, unused vertices removed), but from the given header instead of
/// reading it a second time, and with every record read before the builder
/// starts, so that a facet that would close a fan beside another fan is
/// refused first (InvalidInputError naming sourceName, the facet and the vertex). On a read or build error the stream's
/// fail or bad bit is set, as the scan sets it; the surface may then be partly
/// built.
void scanOffSurface(std::istream& in, const CGAL::File_header_OFF& header, LabeledMesh& mesh,
                    const std::string& sourceName);

} // namespace vornel
