#pragma once
// The frames shared by both sweeps: each vertex's decision is written to a
// label-only working copy, and the copy replaces the labels at the end. Every
// decision reads only the labels at the start of the sweep, so vertices can be
// decided in any order; only the draws must be taken in vertex order.

#include "classes/RandomGenerator.hpp"
#include "classes/Segmenter.hpp"
#include "core/LargeArray.hpp"
#include "core/Parallel.hpp"
#include "optimisation/RingLabelCounts.hpp"

#include <oneapi/tbb/task_group.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vornel {

/// How an annealing sweep takes its draws; every form gives the same labels.
enum class DrawnSweepForm {
  Chosen,   // the faster one for the arena's thread count and the class count
  InOrder,  // each vertex decided as it is reached (runSweepInOrder)
  Ahead,    // every proposal's test formed in parallel first (runDrawnSweep)
  Gathered, // ring label counts and the current energy formed in parallel first,
            // the drawn candidate's energy in the walk (runDrawnSweep; K <= 8)
};

/// What the gathered form keeps of one vertex: its ring's label counts packed
/// as RingLabelCounts packs them, and its energy under its current label.
struct GatheredRing {
  /// Counts that no packable ring can have: the vertex is decided in the walk
  /// from its ring, as runSweepInOrder decides it.
  static constexpr std::uint64_t unpacked = ~std::uint64_t{0};
  std::uint64_t counts;
  double currentEnergy;
};

/// Memory a sweep keeps from one sweep to the next.
struct SweepScratch {
  std::vector<std::int32_t> labels; // the labels being decided
  /// Two chunks of decision data: one filled while the other is walked.
  std::array<std::vector<double>, 2> pending;        // per proposal (ahead)
  std::array<std::vector<GatheredRing>, 2> gathered; // per vertex (gathered)
  /// Decision data per chunk: about 2 MiB, so that a chunk is still in the
  /// cache when its draws are walked (tests make it small to use many chunks).
  std::size_t chunkBytes = std::size_t{2} << 20;
  DrawnSweepForm form = DrawnSweepForm::Chosen; // tests pin one form
};

/// The form an annealing sweep over classCount classes takes: the one pinned
/// in scratch, else the faster one for the calling arena's thread count.
/// The walk over the draws stays on one thread and bounds the gain. The ahead
/// form leaves it little to do, but does the work of one energy for every
/// class (about 0.4 + 0.35 K times the one-thread sweep, measured on a
/// sphere); on two threads it paid for two classes (0.93 s to 0.55 s for 50
/// sweeps of 1M vertices) but lost for three (0.80 s to 0.88 s). The gathered
/// form adds about a third to the work and leaves about half of the one-thread
/// sweep to the walk, so it pays from two threads; the ahead form overtakes it
/// once its work spread over the other threads is below that half.
inline DrawnSweepForm drawnSweepForm(const SweepScratch& scratch, int classCount) {
  if (scratch.form != DrawnSweepForm::Chosen)
    return scratch.form;
  const int threads = oneapi::tbb::this_task_arena::max_concurrency();
  if (threads == 1)
    return DrawnSweepForm::InOrder;
  const bool aheadPays = classCount == 2 || 10 * (threads - 1) > 8 + 7 * classCount;
  if (!aheadPays && classCount <= RingLabelCounts::packedClasses)
    return DrawnSweepForm::Gathered;
  return 20 * threads > 19 + 7 * classCount ? DrawnSweepForm::Ahead : DrawnSweepForm::InOrder;
}

namespace sweepframe {

inline void prepareWorkingLabels(SweepScratch& scratch, std::size_t count) {
  reserveLarge(scratch.labels, count);
  scratch.labels.resize(count);
}

/// Vertices per chunk of the drawn sweep: whole blocks, at least one.
inline std::size_t chunkVertices(std::size_t chunkBytes, std::size_t bytesPerVertex) {
  const std::size_t blocks =
      std::max<std::size_t>(1, chunkBytes / (bytesPerVertex * parallelBlockSize));
  return blocks * parallelBlockSize;
}

/// Fills buffers[c % 2] with the slots of chunk c, in parallel. A named type
/// rather than a lambda inside runDrawnSweep: the parallel loop's symbol then
/// stays short enough for ThreadSanitizer's symbolizer to name its frames, so
/// that the suppressions of oneTBB's own objects still apply.
template <class Slot, class Prepare> struct ChunkPreparation {
  const std::vector<std::int32_t>& labels;
  std::array<std::vector<Slot>, 2>& buffers;
  std::size_t chunk;
  std::size_t slotsPerVertex;
  const Prepare& prepare;

  void operator()(std::size_t c) const {
    const std::size_t count = labels.size();
    const std::size_t first = c * chunk;
    Slot* const slots = buffers[c % 2].data();
    forEachBlock(std::min(chunk, count - first),
                 [this, first, slots](std::size_t begin, std::size_t end, std::size_t) {
                   for (std::size_t i = begin; i < end; ++i)
                     prepare(first + i, labels[first + i], slots + i * slotsPerVertex);
                 });
  }
};

} // namespace sweepframe

/// decide(v, l) returns the new label of vertex v (current label l), reading
/// only the labels at the start of the sweep; it takes no draw, so vertices are
/// decided in parallel. Returns the number of changes.
template <class Decide>
long runSweepFrame(Segmenter& segmenter, SweepScratch& scratch, const Decide& decide) {
  const std::vector<std::int32_t>& labels = segmenter.labels;
  const std::size_t count = labels.size();
  sweepframe::prepareWorkingLabels(scratch, count);
  std::int32_t* const working = scratch.labels.data();
  const long changed = combineBlocks(
      count, 0L,
      [&](std::size_t begin, std::size_t end) {
        long blockChanged = 0;
        for (std::size_t v = begin; v < end; ++v) {
          const std::int32_t current = labels[v];
          const std::int32_t decided = decide(v, current);
          working[v] = decided;
          blockChanged += decided != current;
        }
        return blockChanged;
      },
      [](long& total, long part) { total += part; });
  std::swap(segmenter.labels, scratch.labels);
  return changed;
}

/// decide(v, l) as above, but taking draws: vertices are decided one after the
/// other on the calling thread. The reference for runDrawnSweep.
template <class Decide>
long runSweepInOrder(Segmenter& segmenter, SweepScratch& scratch, Decide&& decide) {
  const std::vector<std::int32_t>& labels = segmenter.labels;
  const std::size_t count = labels.size();
  sweepframe::prepareWorkingLabels(scratch, count);
  long changed = 0;
  for (std::size_t v = 0; v < count; ++v) {
    const std::int32_t current = labels[v];
    const std::int32_t decided = decide(v, current);
    scratch.labels[v] = decided;
    changed += decided != current;
  }
  std::swap(segmenter.labels, scratch.labels);
  return changed;
}

/// A sweep with draws on several threads. prepare(v, l, slots) writes, for
/// vertex v with current label l, slotsPerVertex slots that decide v for every
/// possible proposal; it reads only the labels at the start of the sweep and
/// runs in parallel. decide(v, l, slots) then takes v's draws and returns its
/// new label; it runs on the calling thread in vertex order, so the draws are
/// those of runSweepInOrder. The next chunk is prepared into one of buffers
/// while the other is decided.
template <class Slot, class Prepare, class Decide>
long runDrawnSweep(Segmenter& segmenter, SweepScratch& scratch,
                   std::array<std::vector<Slot>, 2>& buffers, std::size_t slotsPerVertex,
                   const Prepare& prepare, Decide&& decide) {
  const std::vector<std::int32_t>& labels = segmenter.labels;
  const std::size_t count = labels.size();
  sweepframe::prepareWorkingLabels(scratch, count);
  const std::size_t chunk =
      sweepframe::chunkVertices(scratch.chunkBytes, slotsPerVertex * sizeof(Slot));
  const std::size_t chunks = blockCount(count, chunk);
  for (auto& buffer : buffers)
    buffer.resize(std::min(count, chunk) * slotsPerVertex);

  const sweepframe::ChunkPreparation<Slot, Prepare> prepareChunk{labels, buffers, chunk,
                                                                 slotsPerVertex, prepare};
  long changed = 0;
  if (chunks > 0)
    prepareChunk(0);
  for (std::size_t c = 0; c < chunks; ++c) {
    oneapi::tbb::task_group next;
    HandOver start;
    HandOver done;
    if (c + 1 < chunks) {
      start.release();
      next.run([&prepareChunk, &start, &done, c] {
        start.acquire();
        prepareChunk(c + 1);
        done.release();
      });
    }
    const std::size_t first = c * chunk;
    const std::size_t last = std::min(count, first + chunk);
    const Slot* const slots = buffers[c % 2].data();
    for (std::size_t v = first; v < last; ++v) {
      const std::int32_t current = labels[v];
      const std::int32_t decided = decide(v, current, slots + (v - first) * slotsPerVertex);
      scratch.labels[v] = decided;
      changed += decided != current;
    }
    next.wait();
    done.acquire();
  }
  std::swap(segmenter.labels, scratch.labels);
  return changed;
}

} // namespace vornel
