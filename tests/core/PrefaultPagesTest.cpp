// Faulting pages in ahead of use: the bytes stay as they were, inside and
// around an unaligned span, and fresh memory becomes resident on several
// threads only.

#include "core/PrefaultPages.hpp"

#include "core/Parallel.hpp"
#include "core/ScratchVector.hpp"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {
namespace {

constexpr std::size_t pageBytes = 4096;

/// How many of the pages of [data, data + bytes) (page aligned) are resident.
std::size_t residentPages(void* data, std::size_t bytes) {
  std::vector<unsigned char> resident((bytes + pageBytes - 1) / pageBytes);
  if (::mincore(data, bytes, resident.data()) != 0)
    return 0;
  std::size_t count = 0;
  for (const unsigned char page : resident)
    count += page & 1u;
  return count;
}

/// A fresh anonymous mapping, unmapped at the end of the scope.
class FreshMapping {
public:
  explicit FreshMapping(std::size_t bytes)
      : bytes_(bytes),
        data_(::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {}
  ~FreshMapping() {
    if (data_ != MAP_FAILED)
      ::munmap(data_, bytes_);
  }
  FreshMapping(const FreshMapping&) = delete;
  FreshMapping& operator=(const FreshMapping&) = delete;
  void* data() const { return data_; }
  bool mapped() const { return data_ != MAP_FAILED; }

private:
  std::size_t bytes_;
  void* data_;
};

TEST(PrefaultPages, KeepsEveryByteInsideAndAroundAnUnalignedSpan) {
  std::vector<unsigned char> bytes(smallestPrefaulted * 3 + 777);
  for (std::size_t k = 0; k < bytes.size(); ++k)
    bytes[k] = static_cast<unsigned char>(k * 131 + (k >> 12));
  const std::vector<unsigned char> before = bytes;
  for (const unsigned threads : {1u, 2u, 3u}) {
    // Starts and ends mid-page, so the first and last pages hold bytes outside it.
    StageThreads(threads).run(
        [&] { prefaultPages(bytes.data() + 1001, bytes.size() - 1001 - 555); });
    EXPECT_EQ(bytes, before) << threads << " threads";
  }
}

TEST(PrefaultPages, MakesFreshMemoryResidentOnSeveralThreadsOnly) {
  const std::size_t bytes = smallestPrefaulted * 2;
  StageThreads two(2);
  if (two.running() < 2)
    GTEST_SKIP() << "a single core: nothing runs on two threads";
  FreshMapping one(bytes), several(bytes), small(bytes);
  ASSERT_TRUE(one.mapped() && several.mapped() && small.mapped());
  StageThreads(1).run([&] { prefaultPages(one.data(), bytes); });
  EXPECT_EQ(residentPages(one.data(), bytes), 0u); // the filling pass takes the faults itself
  // Unaligned: every page the span overlaps, the partly covered ends included.
  two.run([&] { prefaultPages(static_cast<char*>(several.data()) + 100, bytes - 200); });
  EXPECT_EQ(residentPages(several.data(), bytes), bytes / pageBytes);
  two.run([&] { prefaultPages(small.data(), smallestPrefaulted - 1); });
  EXPECT_EQ(residentPages(small.data(), bytes), 0u);
  const auto* const fresh = static_cast<const unsigned char*>(several.data());
  EXPECT_EQ(fresh[0], 0);
  EXPECT_EQ(fresh[bytes - 1], 0);
}

TEST(PrefaultPages, LargeScratchArraysComeResidentOnSeveralThreads) {
  StageThreads two(2);
  if (two.running() < 2)
    GTEST_SKIP() << "a single core: nothing runs on two threads";
  const std::size_t count = smallestPrefaulted; // 8 bytes each
  ScratchVector<std::uint64_t> values;
  two.run([&] { values.resize(count); });
  EXPECT_EQ(residentPages(values.data(), count * sizeof(std::uint64_t)),
            count * sizeof(std::uint64_t) / pageBytes);
  // The resident memory is ordinary memory to fill; a copy gets its own.
  values.assign(count, 3);
  const ScratchVector<std::uint64_t> copy = two.run([&] { return values; });
  EXPECT_EQ(copy, values);
}

TEST(PrefaultPages, PopulateMapsFreshMemoryInOnOneThreadAndKeepsBytes) {
  const std::size_t bytes = smallestPrefaulted * 2;
  FreshMapping probe(pageBytes), fresh(bytes);
  ASSERT_TRUE(probe.mapped() && fresh.mapped());
#if defined(MADV_POPULATE_WRITE)
  if (::madvise(probe.data(), pageBytes, MADV_POPULATE_WRITE) != 0)
    GTEST_SKIP() << "the system cannot map a span in at once";
#else
  GTEST_SKIP() << "the system cannot map a span in at once";
#endif
  // Unaligned: every page the span overlaps, the partly covered ends included.
  StageThreads(1).run([&] { populatePages(static_cast<char*>(fresh.data()) + 100, bytes - 200); });
  EXPECT_EQ(residentPages(fresh.data(), bytes), bytes / pageBytes);
  std::vector<unsigned char> values(bytes + 333);
  for (std::size_t k = 0; k < values.size(); ++k)
    values[k] = static_cast<unsigned char>(k * 7 + 1);
  const std::vector<unsigned char> before = values;
  for (const unsigned threads : {1u, 2u})
    StageThreads(threads).run([&] { populatePages(values.data() + 5, values.size() - 10); });
  EXPECT_EQ(values, before);
}

} // namespace
} // namespace vornel
