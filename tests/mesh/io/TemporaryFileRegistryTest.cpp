// What a signal handler relies on: every staged file and only staged files
// are removed, and a signal that comes during a commit is held to its end.

#include "mesh/io/TemporaryFileRegistry.hpp"
#include "mesh/io/AtomicFile.hpp"

#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace vornel {
namespace {

namespace fs = std::filesystem;

std::size_t entryCount(const testing::TempFolder& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
}

TEST(TemporaryFileRegistry, RemovesStagedFilesAndNeverOnesInPlace) {
  testing::TempFolder folder;
  StagedFile placed(folder.file("placed.lb"), "labels", "label file");
  placed.commit();
  StagedFile staged(folder.file("staged.lb"), "labels", "label file");
  StagedFile other(folder.file("other.ply"), "coloured mesh");
  EXPECT_EQ(entryCount(folder), 3u);
  removeTemporaryFiles();
  EXPECT_EQ(entryCount(folder), 1u);
  EXPECT_EQ(testing::readFile(folder.file("placed.lb")), "labels");
}

volatile std::sig_atomic_t signalsSeen = 0;

void countSignal(int signal) {
  if (holdSignalDuringCommit(signal))
    return;
  signalsSeen = signalsSeen + 1;
}

TEST(TemporaryFileRegistry, ASignalDuringACommitArrivesWhenItEnds) {
  const auto previous = std::signal(SIGUSR1, countSignal);
  signalsSeen = 0;
  {
    const CommitWindow outer;
    {
      const CommitWindow inner; // another thread's commit, say
      std::raise(SIGUSR1);
      EXPECT_EQ(signalsSeen, 0);
    }
    EXPECT_EQ(signalsSeen, 0) << "raised before every commit ended";
  }
  EXPECT_EQ(signalsSeen, 1);
  std::raise(SIGUSR1);
  EXPECT_EQ(signalsSeen, 2);
  std::signal(SIGUSR1, previous);
}

} // namespace
} // namespace vornel
