// The all-or-nothing outputs at the level of the mesh layer: putting earlier
// outputs back when a later one cannot be put in place, never replacing a file
// that must not be replaced, keeping a replaced file's mode and owner, and
// writing into devices and pipes instead of replacing them.

#include "mesh/io/OutputFiles.hpp"
#include "core/Errors.hpp"

#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

namespace vornel {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

std::size_t entryCount(const TempFolder& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
}

TEST(OutputFiles, EarlierOutputsArePutBackWhenALaterOneCannotBePlaced) {
  TempFolder folder;
  writeFile(folder.file("a.lb"), "old a");
  {
    OutputFiles outputs({});
    const std::size_t a = outputs.declare(folder.file("a.lb"), "label file");
    const std::size_t b = outputs.declare(folder.file("b.ply"), "coloured mesh");
    const std::size_t c = outputs.declare(folder.file("c.html"), "report");
    outputs.write(a, "new a");
    outputs.write(b, "new b");
    outputs.write(c, "new c");
    // A folder takes the coloured mesh's name after it was declared: a and b
    // are put in place before c's rename fails.
    fs::create_directory(folder.file("c.html"));
    writeFile(folder.file("c.html/inside"), "x");
    EXPECT_THROW(outputs.commitAll(), IOError);
    EXPECT_EQ(readFile(folder.file("a.lb")), "old a");
    EXPECT_FALSE(fs::exists(folder.file("b.ply"))) << "a new output stays after a failed run";
  }
  // Only the two files of the test are left: no temporary file, no backup.
  EXPECT_EQ(entryCount(folder), 2u);
}

TEST(OutputFiles, AFileThatMustNotBeReplacedIsLeftWhenItAppears) {
  TempFolder folder;
  const std::string path = folder.file("values.att");
  {
    OutputFiles outputs({});
    const std::size_t labels = outputs.declare(folder.file("l.lb"), "label file");
    const std::size_t values =
        outputs.declare(path, "attribute file", OutputFiles::Placement::NeverReplace);
    outputs.write(labels, "labels");
    outputs.write(values, "computed");
    writeFile(path, "someone else's"); // created while the run computed
    try {
      outputs.commitAll();
      ADD_FAILURE() << "replaced a file that appeared during the run";
    } catch (const IOError& error) {
      EXPECT_NE(std::string(error.what()).find("appeared during the run"), std::string::npos)
          << error.what();
    }
  }
  EXPECT_EQ(readFile(path), "someone else's");
  EXPECT_FALSE(fs::exists(folder.file("l.lb")));
  EXPECT_EQ(entryCount(folder), 1u);
}

TEST(OutputFiles, AReplacedFileKeepsItsModeAndOwner) {
  TempFolder folder;
  const std::string path = folder.file("private.lb");
  writeFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  // Giving the file away needs privilege; where there is none, the mode alone is checked.
  const bool chowned = ::chown(path.c_str(), 4321, 8765) == 0;
  OutputFiles outputs({});
  outputs.write(outputs.declare(path, "label file"), "new");
  outputs.commitAll();
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(readFile(path), "new");
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  if (chowned) {
    EXPECT_EQ(status.st_uid, 4321u);
    EXPECT_EQ(status.st_gid, 8765u);
  }
}

TEST(OutputFiles, APipeIsWrittenIntoOnlyWhileSomeoneReadsIt) {
  TempFolder folder;
  // A pipe with a reader receives the bytes and stays a pipe.
  const std::string pipe = folder.file("pipe.lb");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  {
    OutputFiles outputs({});
    outputs.write(outputs.declare(pipe, "label file"), "2 \t0 \t1 \t");
    outputs.commitAll();
  }
  char received[32] = {};
  EXPECT_EQ(::read(reader, received, sizeof received), 9);
  EXPECT_EQ(std::string(received), "2 \t0 \t1 \t");
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(pipe));
  // Without a reader: an error at once, not a wait, and nothing else placed.
  {
    OutputFiles outputs({});
    const std::size_t other = outputs.declare(folder.file("other.ply"), "coloured mesh");
    const std::size_t labels = outputs.declare(pipe, "label file");
    outputs.write(other, "mesh");
    outputs.write(labels, "labels");
    try {
      outputs.commitAll();
      ADD_FAILURE() << "wrote into a pipe that nobody reads";
    } catch (const IOError& error) {
      EXPECT_NE(std::string(error.what()).find("no process reads this pipe"), std::string::npos)
          << error.what();
    }
  }
  EXPECT_FALSE(fs::exists(folder.file("other.ply")));
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(entryCount(folder), 1u);
}

TEST(OutputFiles, APrivateCharacterDeviceIsWrittenIntoNotReplaced) {
  TempFolder folder;
  const std::string sink = folder.file("null.lb"); // the numbers of the null device
  const std::string full = folder.file("full.lb"); // and of the always-full one
  if (::mknod(sink.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      ::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make a character device here: " << std::strerror(errno);
  const int probe = ::open(sink.c_str(), O_WRONLY);
  if (probe < 0)
    GTEST_SKIP() << "cannot open a private character device here: " << std::strerror(errno);
  ::close(probe);
  {
    OutputFiles outputs({});
    outputs.write(outputs.declare(sink, "label file"), "labels");
    outputs.commitAll();
  }
  EXPECT_TRUE(fs::is_character_file(sink));
  // A device that refuses the bytes fails the outputs before any is placed.
  {
    OutputFiles outputs({});
    const std::size_t other = outputs.declare(folder.file("other.ply"), "coloured mesh");
    const std::size_t labels = outputs.declare(full, "label file");
    outputs.write(other, "mesh");
    outputs.write(labels, "labels");
    EXPECT_THROW(outputs.commitAll(), IOError);
  }
  EXPECT_TRUE(fs::is_character_file(full));
  EXPECT_FALSE(fs::exists(folder.file("other.ply")));
}

} // namespace
} // namespace vornel
