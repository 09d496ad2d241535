#pragma once
// A hash index from ring label histograms (K counts each) to dense row numbers,
// handed out in order of first insertion. It replaces a linear scan of the
// configuration table, which is quadratic in the number of distinct rings.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

class ConfigurationIndex {
public:
  explicit ConfigurationIndex(int countLength);

  /// The row number of counts (countLength entries). A histogram not seen
  /// before gets the next free number and inserted is set to true.
  std::int32_t findOrInsert(const std::int32_t* counts, bool& inserted);

  std::size_t size() const { return rowCount_; }

private:
  std::uint64_t hashOf(const std::int32_t* counts) const;
  bool keyEquals(std::int32_t row, const std::int32_t* counts) const;
  void grow();
  void place(std::int32_t row, std::uint64_t hash);

  std::size_t length_;
  std::size_t rowCount_ = 0;
  std::vector<std::int32_t> keys_;    // row r's counts at r * length_
  std::vector<std::uint64_t> hashes_; // row r's hash
  std::vector<std::int32_t> slots_;   // open addressing, -1 = empty
};

} // namespace vornel
