#include "mesh/io/PointWelder.hpp"

#include <cstring>
#include <random>

namespace vornel {
namespace {

std::uint32_t bitsOf(float value) {
  const float canonical = value == 0.0f ? 0.0f : value; // -0 hashes as +0, to which it is equal
  std::uint32_t bits = 0;
  std::memcpy(&bits, &canonical, sizeof bits);
  return bits;
}

/// The finaliser of a well-mixing 64-bit hash: every input bit reaches every
/// output bit, so the low bits that pick a slot vary even when coordinates
/// differ only in their high bits (whole numbers, whose low mantissa bits are 0).
std::uint64_t mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

std::uint64_t hashOf(float x, float y, float z, std::uint64_t seed) {
  const std::uint64_t xy = (static_cast<std::uint64_t>(bitsOf(x)) << 32) | bitsOf(y);
  return mix(xy ^ mix(bitsOf(z) ^ seed));
}

/// A fresh seed per welder: points crafted to share a slot under a known hash
/// would make every lookup walk them all, and a small file would take hours.
/// The numbering does not depend on it.
std::uint64_t freshSeed() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

std::size_t slotCountFor(std::size_t vertices) {
  std::size_t count = 64;
  while (count < 2 * vertices) {
    count *= 2;
  }
  return count;
}

} // namespace

std::string describeCornerWeld(const CornerWeld& weld) {
  return "welded " + std::to_string(weld.welded()) + " of " + std::to_string(weld.corners) +
         " corners (equal coordinates): " + std::to_string(weld.vertices) + " vertices";
}

PointWelder::PointWelder(std::size_t expectedCorners)
    : slots_(slotCountFor(expectedCorners / 4), emptySlot), mask_(slots_.size() - 1),
      seed_(freshSeed()) {
  points_.reserve(expectedCorners / 5);
}

void PointWelder::prefetch(float x, float y, float z) const {
  __builtin_prefetch(&slots_[hashOf(x, y, z, seed_) & mask_]);
}

std::uint32_t PointWelder::vertexAt(float x, float y, float z) {
  const std::uint64_t hash = hashOf(x, y, z, seed_);
  std::size_t slot = hash & mask_;
  for (; slots_[slot] != emptySlot; slot = (slot + 1) & mask_) {
    const Point3& p = points_[slots_[slot]];
    if (p.x() == x && p.y() == y && p.z() == z) {
      return slots_[slot];
    }
  }
  if (2 * (points_.size() + 1) > slots_.size()) {
    grow();
    slot = freeSlot(hash);
  }
  const auto vertex = static_cast<std::uint32_t>(points_.size());
  points_.emplace_back(x, y, z);
  slots_[slot] = vertex;
  return vertex;
}

std::size_t PointWelder::freeSlot(std::uint64_t hash) const {
  std::size_t slot = hash & mask_;
  while (slots_[slot] != emptySlot) {
    slot = (slot + 1) & mask_;
  }
  return slot;
}

void PointWelder::grow() {
  slots_.assign(2 * slots_.size(), emptySlot);
  mask_ = slots_.size() - 1;
  for (std::uint32_t vertex = 0; vertex < points_.size(); ++vertex) {
    const Point3& p = points_[vertex];
    slots_[freeSlot(hashOf(p.x(), p.y(), p.z(), seed_))] = vertex;
  }
}

std::vector<Point3> PointWelder::takePoints() {
  std::vector<Point3> points = std::move(points_);
  points_ = {};
  slots_.assign(64, emptySlot);
  mask_ = 63;
  return points;
}

} // namespace vornel
