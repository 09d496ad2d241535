#include "mesh/io/PointWelder.hpp"

#include "core/LargeArray.hpp"

#include <random>

namespace vornel {
namespace {

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
    : slots_(slotCountFor(expectedCorners / 6)), mask_(slots_.size() - 1), seed_(freshSeed()) {
  points_.reserve(expectedCorners / 5);
}

std::uint32_t PointWelder::addVertex(float x, float y, float z, std::uint64_t hash,
                                     std::size_t slot) {
  if (2 * (points_.size() + 1) > slots_.size()) {
    grow();
    slot = freeSlot(hash);
  }
  const auto vertex = static_cast<std::uint32_t>(points_.size());
  points_.emplace_back(x, y, z);
  slots_[slot] = Slot{x, y, z, vertex};
  return vertex;
}

std::size_t PointWelder::freeSlot(std::uint64_t hash) const {
  std::size_t slot = hash & mask_;
  while (slots_[slot].vertex != emptySlot) {
    slot = (slot + 1) & mask_;
  }
  return slot;
}

void PointWelder::grow() {
  std::vector<Slot> larger;
  reserveLarge(larger, 2 * slots_.size());
  larger.assign(2 * slots_.size(), Slot{});
  slots_ = std::move(larger);
  mask_ = slots_.size() - 1;
  for (std::uint32_t vertex = 0; vertex < points_.size(); ++vertex) {
    const Point3& p = points_[vertex];
    slots_[freeSlot(hashOf(p.x(), p.y(), p.z()))] = Slot{p.x(), p.y(), p.z(), vertex};
  }
}

std::vector<Point3> PointWelder::takePoints() {
  std::vector<Point3> points = std::move(points_);
  points_ = {};
  slots_.assign(64, Slot{});
  mask_ = 63;
  return points;
}

} // namespace vornel
