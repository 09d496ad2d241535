// The OFF surface scan. CGAL's Polyhedron_scan_OFF reads the header itself with
// a fresh header object, whose reader then computes a halfedge estimate in int
// arithmetic that overflows for large counts, and it feeds each facet to the
// builder as soon as it is read, which leaves no room to check the facets
// first. This scan makes the same scanner calls and the same builder calls on
// the header the OFF input has read safely: all records first, then the check,
// then the build.

#include "mesh/io/OffSurfaceScan.hpp"

#include "mesh/Errors.hpp"
#include "mesh/io/FanCheck.hpp"
#include "mesh/PolygonSoup.hpp"

#include <CGAL/IO/Color.h>
#include <CGAL/IO/OFF/File_scanner_OFF.h>
#include <CGAL/Modifier_base.h>
#include <CGAL/Polyhedron_incremental_builder_3.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vornel {
namespace {

using Builder = CGAL::Polyhedron_incremental_builder_3<HalfedgeDS>;

bool readVertices(std::istream& in, CGAL::File_scanner_OFF& scanner, PolygonSoup& soup) {
  for (std::size_t i = 0; i < scanner.size_of_vertices(); ++i) {
    Point3 point;
    CGAL::file_scan_vertex(scanner, point);
    soup.points.push_back(point);
    if (scanner.has_vcolors()) {
      CGAL::IO::Color colour;
      CGAL::file_scan_color(scanner, colour);
    }
    scanner.skip_to_next_vertex(i);
  }
  if (!in) {
    in.clear(std::ios::badbit);
    return false;
  }
  return true;
}

bool readFacets(std::istream& in, CGAL::File_scanner_OFF& scanner, PolygonSoup& soup) {
  for (std::size_t i = 0; i < scanner.size_of_facets(); ++i) {
    std::size_t corners = 0;
    scanner.scan_facet(corners, i);
    if (!in || corners < 3) {
      in.clear(std::ios::badbit);
      return false;
    }
    for (std::size_t j = 0; j < corners; ++j) {
      std::size_t index = 0;
      scanner.scan_facet_vertex_index(index, j + 1, i);
      if (!in) {
        return false; // an index out of range: the fail bit tells it apart
      }
      soup.corners.push_back(static_cast<std::uint32_t>(index)); // below the vertex count
    }
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
    scanner.skip_to_next_facet(i);
  }
  if (!in) {
    in.clear(std::ios::badbit);
    return false;
  }
  return true;
}

class SoupBuild : public CGAL::Modifier_base<HalfedgeDS> {
public:
  SoupBuild(std::istream& in, const CGAL::File_header_OFF& header, const PolygonSoup& soup)
      : in_(in), header_(header), soup_(soup) {}

  void operator()(HalfedgeDS& target) override {
    Builder builder(target, false);
    builder.begin_surface(header_.size_of_vertices(), header_.size_of_facets(),
                          header_.size_of_halfedges());
    for (const Point3& point : soup_.points) {
      builder.add_vertex(point);
    }
    for (std::size_t f = 0; f < soup_.facetCount(); ++f) {
      builder.begin_facet();
      if (builder.error()) {
        abandon(builder);
        return;
      }
      for (std::uint32_t k = soup_.facetOffsets[f]; k < soup_.facetOffsets[f + 1]; ++k) {
        builder.add_vertex_to_facet(soup_.corners[k]);
      }
      builder.end_facet();
    }
    if (builder.error() ||
        (builder.check_unconnected_vertices() && !builder.remove_unconnected_vertices())) {
      abandon(builder);
      return;
    }
    builder.end_surface();
  }

private:
  void abandon(Builder& builder) {
    builder.rollback();
    in_.clear(std::ios::badbit);
  }

  std::istream& in_;
  const CGAL::File_header_OFF& header_;
  const PolygonSoup& soup_;
};

} // namespace

void scanOffSurface(std::istream& in, const CGAL::File_header_OFF& header, LabeledMesh& mesh,
                    const std::string& sourceName) {
  PolygonSoup soup;
  CGAL::File_scanner_OFF scanner(in, header);
  if (!readVertices(in, scanner, soup) || !readFacets(in, scanner, soup)) {
    return;
  }
  if (const auto problem = findClosedFanBesideAnother(soup)) {
    throw NonManifoldError(sourceName + ": not a valid OFF mesh: facet " +
                           std::to_string(problem->facet + 1) + " cannot be added: vertex " +
                           std::to_string(problem->vertex) +
                           " would carry a closed fan beside another fan (non-manifold vertex)");
  }
  SoupBuild build(in, header, soup);
  mesh.surface.delegate(build);
}

} // namespace vornel
