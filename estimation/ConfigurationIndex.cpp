#include "estimation/ConfigurationIndex.hpp"

#include <algorithm>

namespace vornel {

namespace {
constexpr std::int32_t kEmpty = -1;
constexpr std::size_t kInitialSlots = 64;
} // namespace

ConfigurationIndex::ConfigurationIndex(int countLength)
    : length_(static_cast<std::size_t>(std::max(countLength, 0))), slots_(kInitialSlots, kEmpty) {}

std::uint64_t ConfigurationIndex::hashOf(const std::int32_t* counts) const {
  // FNV-1a over the counts, then a final avalanche so that the low bits,
  // which pick the slot, depend on every count.
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (std::size_t l = 0; l < length_; ++l) {
    h ^= static_cast<std::uint32_t>(counts[l]);
    h *= 0x100000001b3ULL;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

bool ConfigurationIndex::keyEquals(std::int32_t row, const std::int32_t* counts) const {
  const std::int32_t* key = keys_.data() + std::size_t(row) * length_;
  return std::equal(key, key + length_, counts);
}

void ConfigurationIndex::place(std::int32_t row, std::uint64_t hash) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (slots_[slot] != kEmpty) {
    slot = (slot + 1) & mask;
  }
  slots_[slot] = row;
}

void ConfigurationIndex::grow() {
  slots_.assign(slots_.size() * 2, kEmpty);
  for (std::size_t row = 0; row < rowCount_; ++row) {
    place(static_cast<std::int32_t>(row), hashes_[row]);
  }
}

std::int32_t ConfigurationIndex::findOrInsert(const std::int32_t* counts, bool& inserted) {
  const std::uint64_t hash = hashOf(counts);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = hash & mask; slots_[slot] != kEmpty; slot = (slot + 1) & mask) {
    const std::int32_t row = slots_[slot];
    if (hashes_[row] == hash && keyEquals(row, counts)) {
      inserted = false;
      return row;
    }
  }
  const auto row = static_cast<std::int32_t>(rowCount_);
  keys_.insert(keys_.end(), counts, counts + length_);
  hashes_.push_back(hash);
  ++rowCount_;
  if (2 * rowCount_ > slots_.size()) {
    grow(); // places the new row too
  } else {
    place(row, hash);
  }
  inserted = true;
  return row;
}

} // namespace vornel
