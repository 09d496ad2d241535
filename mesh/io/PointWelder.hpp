#pragma once
// Welding the corners of a facet list that carries coordinates instead of
// vertex indices (STL): corners at exactly the same point become one vertex.

#include "mesh/LabeledMesh.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
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
/// An open-addressing table of points and their vertex numbers. Its slots
/// are fetched ahead of use (prefetch), which the well-kept hash tables
/// cannot offer: on a 6M-corner soup it welds in a third of the time of the
/// best of them (robin-hood hashing), and of sorting the corners.
class PointWelder {
public:
  /// Sized for a closed mesh of that many corners (about one vertex per six
  /// corners); grows as needed.
  explicit PointWelder(std::size_t expectedCorners = 0);

  /// The vertex at (x, y, z), a new one when no earlier point is there.
  std::uint32_t vertexAt(float x, float y, float z) {
    const std::uint64_t hash = hashOf(x, y, z);
    std::size_t slot = hash & mask_;
    for (; slots_[slot].vertex != emptySlot; slot = (slot + 1) & mask_) {
      const Slot& s = slots_[slot];
      if (s.x == x && s.y == y && s.z == z) {
        return s.vertex;
      }
    }
    return addVertex(x, y, z, hash, slot);
  }

  /// Asks the processor to fetch the slot where (x, y, z) will be looked up:
  /// call it some twenty points ahead of vertexAt. Always inlined: GCC takes
  /// a function that only prefetches for one without effect, and drops calls.
  [[gnu::always_inline]] void prefetch(float x, float y, float z) const {
    __builtin_prefetch(&slots_[hashOf(x, y, z) & mask_]);
  }

  std::size_t vertexCount() const { return points_.size(); }

  /// The vertices' points in vertex order; the welder is empty afterwards.
  std::vector<Point3> takePoints();

private:
  static constexpr std::uint32_t emptySlot = 0xFFFFFFFFu;

  /// A vertex with its point: a look-up reads one slot, fetched ahead,
  /// rather than a slot and then the point list at a random place.
  struct alignas(16) Slot {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    std::uint32_t vertex = emptySlot;
  };

  static std::uint32_t bitsOf(float value) {
    const float canonical = value == 0.0f ? 0.0f : value; // -0 hashes as +0, to which it is equal
    std::uint32_t bits = 0;
    std::memcpy(&bits, &canonical, sizeof bits);
    return bits;
  }

  /// Multiplications and shifts that carry every input bit into the low
  /// bits that pick a slot, even for coordinates that differ only in their
  /// high bits (whole numbers, whose low mantissa bits are 0).
  std::uint64_t hashOf(float x, float y, float z) const {
    const std::uint64_t xy = (static_cast<std::uint64_t>(bitsOf(x)) << 32) | bitsOf(y);
    std::uint64_t h = (xy ^ seed_) * 0x9E3779B97F4A7C15ull + bitsOf(z) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    return h ^ (h >> 32);
  }

  /// Adds the point as a new vertex in slot, the empty slot its lookup ended at.
  std::uint32_t addVertex(float x, float y, float z, std::uint64_t hash, std::size_t slot);
  /// The first empty slot from the hash's own.
  std::size_t freeSlot(std::uint64_t hash) const;
  void grow();

  std::vector<Slot> slots_; // a power of two of them, at most half in use
  std::size_t mask_ = 0;
  std::uint64_t seed_; // of the hash
  std::vector<Point3> points_;
};

} // namespace vornel
