#pragma once
// The labelled halfedge mesh: a CGAL Polyhedron_3 with float coordinates whose
// vertices carry an attribute value, a second value, a class label and a normal,
// and whose facets carry a normal, plus a few whole-mesh values.

#include <CGAL/HalfedgeDS_face_base.h>
#include <CGAL/HalfedgeDS_halfedge_base.h>
#include <CGAL/HalfedgeDS_vector.h>
#include <CGAL/HalfedgeDS_vertex_base.h>
#include <CGAL/Polyhedron_3.h>
#include <CGAL/Simple_cartesian.h>

#include "core/LargeBlockAllocator.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace vornel {

using Kernel = CGAL::Simple_cartesian<float>;
using Point3 = Kernel::Point_3;
using Vector3 = std::array<float, 3>;

template <class Refs>
struct MeshVertex : public CGAL::HalfedgeDS_vertex_base<Refs, CGAL::Tag_true, Point3> {
  using Base = CGAL::HalfedgeDS_vertex_base<Refs, CGAL::Tag_true, Point3>;
  MeshVertex() = default;
  explicit MeshVertex(const Point3& p) : Base(p) {}

  double attribute = 0.0;
  double secondValue = 0.0;
  std::int32_t label = 0;
  Vector3 normal{0.0f, 0.0f, 0.0f};
};

template <class Refs> struct MeshHalfedge : public CGAL::HalfedgeDS_halfedge_base<Refs> {};

template <class Refs> struct MeshFacet : public CGAL::HalfedgeDS_face_base<Refs> {
  Vector3 normal{0.0f, 0.0f, 0.0f};
};

struct MeshItems : public CGAL::Polyhedron_items_3 {
  template <class Refs, class Traits> struct Vertex_wrapper { using Vertex = MeshVertex<Refs>; };
  template <class Refs, class Traits> struct Halfedge_wrapper {
    using Halfedge = MeshHalfedge<Refs>;
  };
  template <class Refs, class Traits> struct Face_wrapper { using Face = MeshFacet<Refs>; };
};

// The vector-based halfedge store: every record lives in one array per kind, a
// third less memory than separately allocated list nodes and contiguous for the
// walks. It cannot erase records, so readers drop what they do not want before
// building.
using Surface =
    CGAL::Polyhedron_3<Kernel, MeshItems, CGAL::HalfedgeDS_vector, LargeBlockAllocator<int>>;
using HalfedgeDS = Surface::HalfedgeDS;

using RgbColour = std::array<double, 3>;
using Palette = std::array<RgbColour, 256>;

/// The ramp palette: dark blue through blue, cyan, yellow and red to dark red.
const Palette& rampPalette();
/// A fixed permutation of the ramp, for telling neighbouring classes apart.
const Palette& shuffledPalette();

class LabeledMesh {
public:
  LabeledMesh() = default;
  LabeledMesh(const LabeledMesh&) = default;            // complete copy, same record order
  LabeledMesh& operator=(const LabeledMesh&) = default; // discards the target's surface first
  LabeledMesh(LabeledMesh&&) = default;
  LabeledMesh& operator=(LabeledMesh&&) = default;
  virtual ~LabeledMesh() = default;

  Surface surface;
  Vector3 boxMin{0.0f, 0.0f, 0.0f};
  Vector3 boxMax{0.0f, 0.0f, 0.0f};
  bool isQuadMesh = false;
  bool isTriangleMesh = false;
  double attributeMin = 1000.0;
  double attributeMax = -1000.0;
  std::int32_t classCount = 0;
  std::string attributeFileName;

  std::size_t vertexCount() const { return surface.size_of_vertices(); }

  // Geometry preparation (Geometry.cpp).
  void computeBoundingBox();
  void normaliseIntoUnitBox();
  bool allFacetsHaveDegree(int k) const;
};

using Vertex = Surface::Vertex;
using Facet = Surface::Facet;
using Halfedge = Surface::Halfedge;

/// The position of a vertex in the vertex list (its index in vertex order).
inline std::uint32_t vertexIndex(const Surface& surface, const Vertex& vertex) {
  return static_cast<std::uint32_t>(&vertex - &*surface.vertices_begin());
}

void computeFacetNormal(Facet& facet);
void computeVertexNormal(Vertex& vertex);
/// The full preparation in its fixed order: normalise, pure-degree flags,
/// facet normals, then vertex normals.
void prepareGeometry(LabeledMesh& mesh);

} // namespace vornel
