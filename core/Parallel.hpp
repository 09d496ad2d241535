#pragma once
// Running a stage on several threads with results that never depend on how
// many. A run owns one task arena of N threads (no process-wide setting, so
// callers on several threads may each run with their own N); the stages split
// their work into blocks whose boundaries depend only on the item count, and
// combine per-block results in block order. On one thread the blocks simply
// run in order: that is the sequential reference.

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/partitioner.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#if defined(__SANITIZE_THREAD__)
#define VORNEL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VORNEL_THREAD_SANITIZER 1
#endif
#endif
#if defined(VORNEL_THREAD_SANITIZER)
#include <sanitizer/tsan_interface.h>
#endif

namespace vornel {

/// oneTBB orders what a thread did before it starts parallel work before that
/// work, and the work before what the thread does after waiting for it. Its
/// library is not built with ThreadSanitizer, which therefore cannot see that
/// ordering: in such builds it is declared here, on one address per hand-over,
/// so that the sanitizer checks the parallel pieces against each other only.
class HandOver {
public:
  /// Before the parallel work is started, and at the end of each piece.
  void release() {
#if defined(VORNEL_THREAD_SANITIZER)
    __tsan_release(this);
#endif
  }
  /// At the start of each piece, and after waiting for the work.
  void acquire() {
#if defined(VORNEL_THREAD_SANITIZER)
    __tsan_acquire(this);
#endif
  }

private:
  [[maybe_unused]] char place_ = 0; // gives the hand-over an address of its own
};

/// Releases a hand-over when a piece of parallel work ends, also when it ends
/// by an exception: the caller then still waits for every piece, and reuses
/// what they read.
class ReleaseAtEnd {
public:
  explicit ReleaseAtEnd(HandOver& handOver) : handOver_(handOver) {}
  ~ReleaseAtEnd() { handOver_.release(); }
  ReleaseAtEnd(const ReleaseAtEnd&) = delete;
  ReleaseAtEnd& operator=(const ReleaseAtEnd&) = delete;

private:
  HandOver& handOver_;
};

/// The cores this process may run on (its CPU affinity), at least 1.
inline unsigned threadsAvailable() {
#if defined(__linux__)
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  if (sched_getaffinity(0, sizeof(cpus), &cpus) == 0 && CPU_COUNT(&cpus) > 0)
    return static_cast<unsigned>(CPU_COUNT(&cpus));
#endif
  return static_cast<unsigned>(std::max(1, oneapi::tbb::info::default_concurrency()));
}

/// The most threads the library lets any arena use at once: one per core by
/// default, unless the process set a limit.
inline unsigned threadsAllowed() {
  const auto allowed = oneapi::tbb::global_control::active_value(
      oneapi::tbb::global_control::max_allowed_parallelism);
  return static_cast<unsigned>(std::max<std::size_t>(allowed, 1));
}

/// A fixed number of threads for the stages run through it.
class StageThreads {
public:
  /// threads = 0 means every core the process may use. More than the library
  /// allows could never run at once (and asking for them makes it print a
  /// warning), so the arena is capped there.
  explicit StageThreads(unsigned threads = 0)
      : requested_(threads == 0 ? threadsAvailable() : threads),
        running_(std::min(requested_, threadsAllowed())), arena_(static_cast<int>(running_)) {}

  /// The threads asked for.
  unsigned requested() const { return requested_; }

  /// The threads that really run.
  unsigned running() const { return running_; }

  /// Runs work(), and every parallel stage it reaches, on these threads.
  template <class Work> decltype(auto) run(Work&& work) {
    return arena_.execute(std::forward<Work>(work));
  }

private:
  unsigned requested_;
  unsigned running_;
  oneapi::tbb::task_arena arena_;
};

/// The threads of the calling arena.
inline unsigned arenaThreads() {
  return static_cast<unsigned>(std::max(1, oneapi::tbb::this_task_arena::max_concurrency()));
}

/// Whether the calling arena runs on more than one thread: stages whose
/// parallel form costs more work than their sequential one choose by it.
inline bool severalThreads() {
  return arenaThreads() > 1;
}

/// Items per block: large enough that scheduling costs nothing next to the
/// work, small enough that two cores balance on a few thousand vertices.
constexpr std::size_t parallelBlockSize = 4096;

/// How many blocks of blockSize items cover count items.
inline std::size_t blockCount(std::size_t count, std::size_t blockSize = parallelBlockSize) {
  return (count + blockSize - 1) / blockSize;
}

/// Calls blockWork(begin, end, block) for every block [begin, end) of
/// [0, count), numbered from 0; blocks run concurrently on the calling arena's
/// threads, each exactly once. The boundaries depend on count and blockSize
/// only. An exception from a block reaches the caller.
template <class BlockWork>
void forEachBlock(std::size_t count, BlockWork&& blockWork,
                  std::size_t blockSize = parallelBlockSize) {
  const std::size_t blocks = blockCount(count, blockSize);
  auto runBlock = [&](std::size_t block) {
    const std::size_t begin = block * blockSize;
    blockWork(begin, std::min(count, begin + blockSize), block);
  };
  if (blocks <= 1 || oneapi::tbb::this_task_arena::max_concurrency() == 1) {
    for (std::size_t block = 0; block < blocks; ++block)
      runBlock(block);
    return;
  }
  HandOver start;
  HandOver done;
  start.release();
  try {
    oneapi::tbb::parallel_for(
        oneapi::tbb::blocked_range<std::size_t>(0, blocks, 1),
        [&](const oneapi::tbb::blocked_range<std::size_t>& range) {
          start.acquire();
          const ReleaseAtEnd end(done);
          for (std::size_t block = range.begin(); block != range.end(); ++block)
            runBlock(block);
        },
        oneapi::tbb::simple_partitioner());
  } catch (...) {
    done.acquire(); // every piece has ended, some of them by the exception
    throw;
  }
  done.acquire();
}

/// Computes blockResult(begin, end) for every block in parallel, then folds
/// the results in block order with combine(total, part): the same result for
/// every thread count, whatever the rounding of combine.
template <class Result, class BlockResult, class Combine>
Result combineBlocks(std::size_t count, Result initial, BlockResult&& blockResult,
                     Combine&& combine, std::size_t blockSize = parallelBlockSize) {
  std::vector<Result> parts(blockCount(count, blockSize));
  forEachBlock(
      count,
      [&](std::size_t begin, std::size_t end, std::size_t block) {
        parts[block] = blockResult(begin, end);
      },
      blockSize);
  Result total = std::move(initial);
  for (auto& part : parts)
    combine(total, std::move(part));
  return total;
}

} // namespace vornel
