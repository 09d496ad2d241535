// The OFF surface scan. CGAL's Polyhedron_scan_OFF reads the header itself with
// a fresh header object, and its header reader then computes a halfedge
// estimate in int arithmetic that overflows for large counts. This scan runs
// the same record loop on the header the OFF input has read safely.

#include "mesh/OffSurfaceScan.hpp"

#include <CGAL/IO/Color.h>
#include <CGAL/IO/OFF/File_scanner_OFF.h>
#include <CGAL/Modifier_base.h>
#include <CGAL/Polyhedron_incremental_builder_3.h>

#include <cstddef>

namespace vornel {
namespace {

using Builder = CGAL::Polyhedron_incremental_builder_3<HalfedgeDS>;

class OffRecordScan : public CGAL::Modifier_base<HalfedgeDS> {
public:
  OffRecordScan(std::istream& in, const CGAL::File_header_OFF& header)
      : in_(in), header_(header) {}

  void operator()(HalfedgeDS& target) override {
    CGAL::File_scanner_OFF scanner(in_, header_);
    Builder builder(target, false);
    builder.begin_surface(scanner.size_of_vertices(), scanner.size_of_facets(),
                          scanner.size_of_halfedges());
    if (!scanVertices(scanner, builder) || !scanFacets(scanner, builder)) {
      return;
    }
    if (builder.check_unconnected_vertices() && !builder.remove_unconnected_vertices()) {
      abandon(builder);
      return;
    }
    builder.end_surface();
  }

private:
  bool scanVertices(CGAL::File_scanner_OFF& scanner, Builder& builder) {
    for (std::size_t i = 0; i < scanner.size_of_vertices(); ++i) {
      Point3 point;
      CGAL::file_scan_vertex(scanner, point);
      builder.add_vertex(point);
      if (scanner.has_vcolors()) {
        CGAL::IO::Color colour;
        CGAL::file_scan_color(scanner, colour);
      }
      scanner.skip_to_next_vertex(i);
    }
    if (!in_ || builder.error()) {
      abandon(builder);
      return false;
    }
    return true;
  }

  bool scanFacets(CGAL::File_scanner_OFF& scanner, Builder& builder) {
    for (std::size_t i = 0; i < scanner.size_of_facets(); ++i) {
      builder.begin_facet();
      std::size_t corners = 0;
      scanner.scan_facet(corners, i);
      if (!in_ || builder.error() || corners < 3) {
        abandon(builder);
        return false;
      }
      for (std::size_t j = 0; j < corners; ++j) {
        std::size_t index = 0;
        scanner.scan_facet_vertex_index(index, j + 1, i);
        if (!in_) {
          return false; // an index out of range: the fail bit tells it apart
        }
        builder.add_vertex_to_facet(index);
      }
      builder.end_facet();
      scanner.skip_to_next_facet(i);
    }
    if (!in_ || builder.error()) {
      abandon(builder);
      return false;
    }
    return true;
  }

  void abandon(Builder& builder) {
    builder.rollback();
    in_.clear(std::ios::badbit);
  }

  std::istream& in_;
  const CGAL::File_header_OFF& header_;
};

} // namespace

void scanOffSurface(std::istream& in, const CGAL::File_header_OFF& header, LabeledMesh& mesh) {
  OffRecordScan scan(in, header);
  mesh.surface.delegate(scan);
}

} // namespace vornel
