// Fills VertexIndexMap: a direct table when the vertex addresses span at most
// a few table entries per vertex, else a hash table with twice as many slots
// as vertices (a power of two, so that linear probing stays short).

#include "mesh/VertexIndexMap.hpp"

#include "mesh/Errors.hpp"

#include <algorithm>
#include <limits>
#include <string>

namespace vornel {
namespace {

/// The direct table may hold at most this many entries per vertex.
constexpr std::uintptr_t directEntriesPerVertex = 8;

std::uintptr_t addressOf(const Vertex& vertex) {
  return reinterpret_cast<std::uintptr_t>(&vertex);
}

} // namespace

VertexIndexMap::VertexIndexMap(const Surface& surface, Layout layout) {
  const std::size_t count = surface.size_of_vertices();
  if (count >= std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError("the mesh has " + std::to_string(count) +
                            " vertices; at most 4294967294 are supported");
  }
  if (count != 0 && (layout == Layout::Hashed || !fillDirect(surface))) {
    fillHashed(surface);
  }
}

bool VertexIndexMap::fillDirect(const Surface& surface) {
  std::uintptr_t lowest = std::numeric_limits<std::uintptr_t>::max();
  std::uintptr_t highest = 0;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    lowest = std::min(lowest, addressOf(*v));
    highest = std::max(highest, addressOf(*v));
  }
  // The coarsest power-of-two step that every address offset is a multiple of.
  std::uintptr_t offsets = 0;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    offsets |= addressOf(*v) - lowest;
  }
  unsigned bits = 0;
  while (offsets != 0 && (offsets & (std::uintptr_t{1} << bits)) == 0) {
    ++bits;
  }
  const std::uintptr_t entries = ((highest - lowest) >> bits) + 1;
  if (entries > directEntriesPerVertex * surface.size_of_vertices() + 64) {
    return false;
  }
  direct_ = true;
  lowest_ = lowest;
  granularityBits_ = bits;
  indices_.assign(entries, 0);
  std::uint32_t index = 0;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v, ++index) {
    indices_[(addressOf(*v) - lowest) >> bits] = index;
  }
  return true;
}

void VertexIndexMap::fillHashed(const Surface& surface) {
  unsigned bits = 1;
  while ((std::size_t{1} << bits) < 2 * surface.size_of_vertices()) {
    ++bits;
  }
  hashShift_ = 64 - bits;
  mask_ = (std::size_t{1} << bits) - 1;
  keys_.assign(mask_ + 1, 0);
  indices_.assign(mask_ + 1, 0);
  std::uint32_t index = 0;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v, ++index) {
    std::size_t slot = hashSlot(addressOf(*v));
    while (keys_[slot] != 0) {
      slot = (slot + 1) & mask_;
    }
    keys_[slot] = addressOf(*v);
    indices_[slot] = index;
  }
}

} // namespace vornel
