#pragma once
// Position of each vertex in the vertex list, looked up by the vertex's
// address. The list-based surface keeps no index in its records, so a flat
// table stands in for one: indexed directly by address offset when the
// vertices lie close together in memory (the usual case right after building,
// and the one that keeps neighbouring vertices in neighbouring table entries),
// otherwise an open-addressing hash table.

#include "mesh/LabeledMesh.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

class VertexIndexMap {
public:
  enum class Layout { Automatic, Hashed };

  explicit VertexIndexMap(const Surface& surface, Layout layout = Layout::Automatic);

  bool isDirect() const { return direct_; }

  /// The position of vertex in the list; the vertex must belong to the surface.
  std::uint32_t indexOf(const Vertex* vertex) const {
    const auto address = reinterpret_cast<std::uintptr_t>(vertex);
    if (direct_) {
      return indices_[(address - lowest_) >> granularityBits_];
    }
    std::size_t slot = hashSlot(address);
    while (keys_[slot] != address) {
      slot = (slot + 1) & mask_;
    }
    return indices_[slot];
  }

private:
  std::size_t hashSlot(std::uintptr_t address) const {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(address >> 4) *
                                     0x9E3779B97F4A7C15ULL) >> hashShift_) & mask_;
  }
  bool fillDirect(const Surface& surface);
  void fillHashed(const Surface& surface);

  bool direct_ = false;
  std::uintptr_t lowest_ = 0;
  unsigned granularityBits_ = 0;
  std::size_t mask_ = 0;
  unsigned hashShift_ = 0;
  std::vector<std::uintptr_t> keys_;   // hashed form only
  std::vector<std::uint32_t> indices_; // by address offset, or by hash slot
};

} // namespace vornel
