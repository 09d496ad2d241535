#pragma once
// Welding the corners of a facet list that carries coordinates instead of
// vertex indices (STL): corners at exactly the same point become one vertex.

#include "mesh/LabeledMesh.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// How many corners a weld took in and how many vertices it made of them.
struct CornerWeld {
  std::size_t corners = 0;
  std::size_t vertices = 0;

  std::size_t welded() const { return corners - vertices; }
};

/// "welded W of C corners (equal coordinates): V vertices", for --verbose.
std::string describeCornerWeld(const CornerWeld& weld);

/// Numbers points by first appearance: a point equal to an earlier one gets
/// that one's vertex. Points are equal when their coordinates compare equal
/// as floats, so -0 and +0 are the same coordinate (bit patterns would leave
/// a crack between two vertices at one place). Coordinates must be finite.
///
/// An open-addressing table of vertex numbers, the coordinates held once in
/// the point list. Its slots are fetched ahead of use (prefetch), which the
/// well-kept hash tables cannot offer: on a 6M-corner soup it welds in a
/// third of the time of the best of them (robin-hood hashing), and in a
/// third of the time of sorting the corners.
class PointWelder {
public:
  /// Sized for a closed mesh of that many corners (about one vertex per six
  /// corners); grows as needed.
  explicit PointWelder(std::size_t expectedCorners = 0);

  /// The vertex at (x, y, z), a new one when no earlier point is there.
  std::uint32_t vertexAt(float x, float y, float z);

  /// Asks the processor to fetch the slot where (x, y, z) will be looked up:
  /// call it some twenty points ahead of vertexAt.
  void prefetch(float x, float y, float z) const;

  std::size_t vertexCount() const { return points_.size(); }

  /// The vertices' points in vertex order; the welder is empty afterwards.
  std::vector<Point3> takePoints();

private:
  static constexpr std::uint32_t emptySlot = 0xFFFFFFFFu;

  /// The first empty slot from the hash's own.
  std::size_t freeSlot(std::uint64_t hash) const;
  void grow();

  std::vector<std::uint32_t> slots_; // vertex numbers; a power of two of them
  std::size_t mask_ = 0;
  std::uint64_t seed_; // of the hash
  std::vector<Point3> points_;
};

} // namespace vornel
