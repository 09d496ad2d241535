// A signal handler can reach nothing but global state, so this list is the one
// global of the mesh layer. It is preallocated (no allocation in a handler) and
// lock-free: a slot holds the folder's descriptor, -1 when free and -2 while
// its name is being written, and unlinkat needs no path beyond the name.

#include "mesh/io/TemporaryFileRegistry.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

namespace vornel {
namespace {

constexpr int freeSlot = -1;
constexpr int slotBeingWritten = -2;

struct TemporarySlot {
  std::atomic<int> folder{freeSlot};
  char name[64] = {};
};

// Outputs of one run are a handful; many threads writing at once still fit.
std::array<TemporarySlot, 256> temporarySlots;
std::atomic<int> commitsUnderWay{0}; // threads may commit outputs of their own at once
std::atomic<int> heldSignal{0};

} // namespace

std::size_t rememberTemporaryFile(int folder, const std::string& name) {
  if (folder < 0 || name.size() >= sizeof(TemporarySlot::name))
    return noTemporarySlot;
  for (std::size_t k = 0; k < temporarySlots.size(); ++k) {
    TemporarySlot& slot = temporarySlots[k];
    int expected = freeSlot;
    if (slot.folder.compare_exchange_strong(expected, slotBeingWritten)) {
      std::memcpy(slot.name, name.c_str(), name.size() + 1);
      slot.folder.store(folder);
      return k;
    }
  }
  return noTemporarySlot;
}

void forgetTemporaryFile(std::size_t slot) {
  if (slot < temporarySlots.size())
    temporarySlots[slot].folder.store(freeSlot);
}

void removeTemporaryFiles() noexcept {
  for (TemporarySlot& slot : temporarySlots) {
    const int folder = slot.folder.load();
    if (folder >= 0)
      ::unlinkat(folder, slot.name, 0);
  }
}

bool holdSignalDuringCommit(int signal) noexcept {
  if (commitsUnderWay.load() == 0)
    return false;
  heldSignal.store(signal);
  return true;
}

CommitWindow::CommitWindow() noexcept {
  commitsUnderWay.fetch_add(1);
}

CommitWindow::~CommitWindow() {
  if (commitsUnderWay.fetch_sub(1) != 1)
    return; // the last commit to end raises the held signal
  const int signal = heldSignal.exchange(0);
  if (signal != 0)
    std::raise(signal); // now the handler removes what is left and ends the process
}

} // namespace vornel
