// Geometry preparation: bounding box, centring and scaling into the unit box,
// the pure-degree test and the facet and vertex normals.
//
// Positions and normals are stored as floats; every intermediate (extent,
// centre, scale, cross products, squared lengths, products) is formed in
// double precision and rounded to float only where a value is stored.

#include "mesh/LabeledMesh.hpp"

#include <cmath>

namespace vornel {
namespace {

struct Double3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

Double3 widen(const Vector3& v) { return {v[0], v[1], v[2]}; }

/// Difference of two points, each component rounded to float.
Double3 floatDifference(const Point3& to, const Point3& from) {
  return {static_cast<float>(static_cast<double>(to.x()) - from.x()),
          static_cast<float>(static_cast<double>(to.y()) - from.y()),
          static_cast<float>(static_cast<double>(to.z()) - from.z())};
}

Double3 cross(const Double3& u, const Double3& w) {
  return {u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
}

double squaredLength(const Double3& n) { return n.x * n.x + n.y * n.y + n.z * n.z; }

/// sum + n, each component stored as a float.
void accumulate(Vector3& sum, const Double3& n) {
  sum[0] = static_cast<float>(sum[0] + n.x);
  sum[1] = static_cast<float>(sum[1] + n.y);
  sum[2] = static_cast<float>(sum[2] + n.z);
}

/// sum scaled to unit length and stored as floats; the zero vector stays zero.
Vector3 unitOrZero(const Vector3& sum) {
  const Double3 s = widen(sum);
  const double q = squaredLength(s);
  if (q == 0.0) {
    return {0.0f, 0.0f, 0.0f};
  }
  const double inverse = 1.0 / std::sqrt(q);
  return {static_cast<float>(s.x * inverse), static_cast<float>(s.y * inverse),
          static_cast<float>(s.z * inverse)};
}

/// The unit normal at corner P1 of the corner triple P0, P1, P2 (zero when the
/// corners are collinear).
Double3 cornerNormal(const Point3& p0, const Point3& p1, const Point3& p2) {
  Double3 n = cross(floatDifference(p1, p0), floatDifference(p2, p1));
  const double q = squaredLength(n);
  if (q != 0.0) {
    const double inverse = 1.0 / std::sqrt(q);
    n = {n.x * inverse, n.y * inverse, n.z * inverse};
  }
  return n;
}

} // namespace

void LabeledMesh::computeBoundingBox() {
  if (surface.size_of_vertices() == 0) {
    return;
  }
  const Point3& first = surface.vertices_begin()->point();
  Vector3 low{first.x(), first.y(), first.z()};
  Vector3 high = low;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    const Point3& p = v->point();
    for (int k = 0; k < 3; ++k) {
      const float c = p[k];
      if (c < low[k]) {
        low[k] = c;
      }
      if (high[k] < c) {
        high[k] = c;
      }
    }
  }
  boxMin = low;
  boxMax = high;
}

void LabeledMesh::normaliseIntoUnitBox() {
  computeBoundingBox();
  if (surface.size_of_vertices() == 0) {
    return;
  }
  const Double3 low = widen(boxMin);
  const Double3 high = widen(boxMax);
  double extent = high.x - low.x;
  if (high.y - low.y > extent) {
    extent = high.y - low.y;
  }
  if (high.z - low.z > extent) {
    extent = high.z - low.z;
  }
  const Double3 centre{(low.x + high.x) * 0.5, (low.y + high.y) * 0.5, (low.z + high.z) * 0.5};
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    const Point3& p = v->point();
    v->point() = Point3(static_cast<float>(p.x() - centre.x), static_cast<float>(p.y() - centre.y),
                        static_cast<float>(p.z() - centre.z));
  }
  // All vertices at one place: centred, but there is no size to scale by.
  if (extent == 0.0) {
    return;
  }
  const double scale = 1.0 / extent;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    const Point3& p = v->point();
    v->point() = Point3(static_cast<float>(p.x() * scale), static_cast<float>(p.y() * scale),
                        static_cast<float>(p.z() * scale));
  }
}

bool LabeledMesh::allFacetsHaveDegree(int k) const {
  for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f) {
    int count = 0;
    const auto start = f->halfedge();
    if (start != Surface::Halfedge_const_handle()) {
      auto h = start;
      do {
        ++count;
        h = h->next();
      } while (h != start);
    }
    if (count != k) {
      return false;
    }
  }
  return true;
}

void computeFacetNormal(Facet& facet) {
  Vector3 sum{0.0f, 0.0f, 0.0f};
  const auto start = facet.halfedge();
  if (start != Surface::Halfedge_handle()) {
    auto h = start;
    do {
      const auto next = h->next();
      accumulate(sum, cornerNormal(h->vertex()->point(), next->vertex()->point(),
                                   next->next()->vertex()->point()));
      h = next;
    } while (h != start);
  }
  facet.normal = unitOrZero(sum);
}

void computeVertexNormal(Vertex& vertex) {
  Vector3 sum{0.0f, 0.0f, 0.0f};
  const auto start = vertex.halfedge();
  if (start != Surface::Halfedge_handle()) {
    auto h = start;
    do {
      if (!h->is_border()) {
        accumulate(sum, widen(h->facet()->normal));
      }
      h = h->next()->opposite();
    } while (h != start);
  }
  vertex.normal = unitOrZero(sum);
}

void prepareGeometry(LabeledMesh& mesh) {
  mesh.normaliseIntoUnitBox();
  mesh.isQuadMesh = mesh.allFacetsHaveDegree(4);
  mesh.isTriangleMesh = mesh.allFacetsHaveDegree(3);
  for (auto f = mesh.surface.facets_begin(); f != mesh.surface.facets_end(); ++f) {
    computeFacetNormal(*f);
  }
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    computeVertexNormal(*v);
  }
}

} // namespace vornel
