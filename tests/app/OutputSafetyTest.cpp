// What a run promises about its outputs: they are all written or none is; a
// failed run leaves every existing output byte for byte as it was; an existing
// output is replaced, never written through a link; no output may be an input
// or another output; devices and pipes are written into, never replaced; and
// no temporary file is left behind, even when a signal ends the run. These
// tests run as root in CI, so none of them relies on permissions.

#include "app/CliSupport.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

namespace vornel::testing {
namespace {

namespace fs = std::filesystem;

const std::string squareObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n";
const std::string squareOff = "OFF\n4 2 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n";
const std::string squarePly = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
                              "property float y\nproperty float z\nelement face 2\n"
                              "property list uchar int vertex_indices\nend_header\n"
                              "0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n";

/// The vornel binary run in the background, so that a test can act while it
/// runs; killed if the test ends first.
class BackgroundRun {
public:
  BackgroundRun(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<std::string> words{VORNEL_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
      argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string errorPath = capture_.file("stderr");
    pid_ = ::fork();
    if (pid_ == 0) { // only async-signal-safe calls until exec
      const int error = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int null = ::open("/dev/null", O_RDWR);
      if (::chdir(folder.c_str()) != 0 || error < 0 || null < 0 || ::dup2(null, 0) < 0 ||
          ::dup2(null, 1) < 0 || ::dup2(error, 2) < 0)
        ::_exit(127);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~BackgroundRun() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  bool running() const { return !waited_ && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
  void send(int signal) const { ::kill(pid_, signal); }
  /// The wait status.
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return status;
  }
  std::string err() const { return readFile(capture_.file("stderr")); }

private:
  TempFolder capture_;
  pid_t pid_ = -1;
  bool waited_ = false;
};

/// Waits until the pipe read by reader is full, so that its writer is blocked
/// with every other output staged; false when the run ended or a minute passed.
bool waitUntilPipeIsFull(int reader, const BackgroundRun& run) {
  const int capacity = ::fcntl(reader, F_GETPIPE_SZ);
  for (int attempt = 0; attempt < 6000 && run.running(); ++attempt) {
    int queued = 0;
    if (::ioctl(reader, FIONREAD, &queued) == 0 && queued >= capacity)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

/// Everything left in the pipe until its writer closes it.
std::string drain(int reader) {
  ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
  std::string bytes;
  char buffer[4096];
  for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) != 0;)
    if (n > 0)
      bytes.append(buffer, static_cast<std::size_t>(n));
    else if (errno != EINTR)
      break;
  return bytes;
}

/// A pipe at path with a reader that reads nothing until asked; closed at the end.
class PipeReader {
public:
  explicit PipeReader(const std::string& path) {
    if (::mkfifo(path.c_str(), 0600) == 0)
      descriptor_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  }
  ~PipeReader() {
    if (descriptor_ >= 0)
      ::close(descriptor_);
  }
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;
  int descriptor() const { return descriptor_; }

private:
  int descriptor_ = -1;
};

class OutputSafety : public ::testing::Test {
protected:
  void SetUp() override {
    for (const auto& [name, text] : {std::pair{"m.obj", squareObj}, std::pair{"m.off", squareOff},
                                     std::pair{"m.ply", squarePly}})
      writeFile(folder.file(name), text);
    writeFile(folder.file("m_attribute.att"), "0 0.1 5 5.1");
  }

  CommandResult run(const std::vector<std::string>& args) {
    return runVornel(args, folder.path().string());
  }

  /// Every file in the folder with its bytes.
  std::set<std::pair<std::string, std::string>> snapshot() const {
    std::set<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::directory_iterator(folder.path()))
      if (entry.is_regular_file() && !entry.is_symlink())
        files.emplace(entry.path().filename().string(), readFile(entry.path().string()));
    return files;
  }

  void expectNoTemporaryFiles() const {
    for (const auto& entry : fs::directory_iterator(folder.path()))
      EXPECT_EQ(entry.path().filename().string().rfind(".vornel", 0), std::string::npos)
          << entry.path();
  }

  TempFolder folder;
};

TEST_F(OutputSafety, FailedRunLeavesEveryExistingOutputUntouched) {
  writeFile(folder.file("m_labels.lb"), "old labels");
  fs::create_directory(folder.file("folder.ply"));
  const auto before = snapshot();
  // The coloured mesh cannot be written (it names a folder): the run must not
  // put the label file in place first.
  const CommandResult result = run({"m.obj", "2", "0", "0", "--colour-mesh", "folder.ply"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("folder.ply: it is a folder"), std::string::npos) << result.err;
  EXPECT_EQ(snapshot(), before);
  // A mesh the reader refuses: nothing is written either.
  writeFile(folder.file("bad.obj"), "v 0 0 0\nf 1 2 3\n");
  writeFile(folder.file("bad_labels.lb"), "old");
  const auto beforeBad = snapshot();
  EXPECT_EQ(run({"bad.obj", "2", "0", "0", "--colour-mesh", "bad.ply"}).exitStatus, 1);
  EXPECT_EQ(snapshot(), beforeBad);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, OutputThatIsAnInputIsAUsageError) {
  const auto before = snapshot();
  for (const std::string mesh : {"m.off", "m.ply", "m.obj"}) {
    for (const std::string& spelling : {mesh, "./" + mesh, folder.file(mesh)}) {
      const std::string ending = mesh.substr(mesh.size() - 3) == "obj" ? "m.ply" : spelling;
      if (ending != spelling)
        continue; // an OBJ input cannot be named as a coloured mesh (.ply or .off)
      const CommandResult result = run({mesh, "2", "0", "0", "--colour-mesh", spelling});
      EXPECT_EQ(result.exitStatus, 2) << spelling << ": " << result.err;
      EXPECT_NE(result.err.find("must not replace an input"), std::string::npos) << result.err;
    }
  }
  // The attribute file as the label file, through a symbolic link.
  fs::create_symlink("m_attribute.att", folder.file("link.lb"));
  const CommandResult linked = run({"m.obj", "2", "0", "0", "--labels-file", "link.lb"});
  EXPECT_EQ(linked.exitStatus, 2) << linked.err;
  // Two outputs that are one file.
  const CommandResult twice =
      run({"m.obj", "2", "0", "0", "--labels-file", "out.ply", "--colour-mesh", "./out.ply"});
  EXPECT_EQ(twice.exitStatus, 2) << twice.err;
  EXPECT_NE(twice.err.find("every output needs a file of its own"), std::string::npos);
  EXPECT_EQ(snapshot(), before);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, ExistingOutputsAreReplacedNotWrittenThrough) {
  // The label file is a hard link to another file, the coloured mesh a
  // symbolic link to a third: both targets must keep their bytes.
  writeFile(folder.file("keep-hard.txt"), "hard");
  writeFile(folder.file("keep-soft.txt"), "soft");
  fs::create_hard_link(folder.file("keep-hard.txt"), folder.file("m_labels.lb"));
  fs::create_symlink("keep-soft.txt", folder.file("coloured.ply"));
  const CommandResult result = run({"m.obj", "2", "0", "0", "--colour-mesh", "coloured.ply"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(readFile(folder.file("keep-hard.txt")), "hard");
  EXPECT_EQ(readFile(folder.file("keep-soft.txt")), "soft");
  EXPECT_EQ(readFile(folder.file("m_labels.lb")), "2 \t0 \t0 \t1 \t1 \t");
  EXPECT_FALSE(fs::is_symlink(folder.file("coloured.ply")));
  EXPECT_EQ(readFile(folder.file("coloured.ply")).rfind("ply\n", 0), 0u);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, TemporaryNamesFitWhereverTheFinalNameFits) {
  // A 241-character base gives a 251-character label name, just below the
  // 255-character limit of a file name.
  const std::string base(241, 'b');
  writeFile(folder.file(base + ".obj"), squareObj);
  writeFile(folder.file(base + "_attribute.att"), "0 0.1 5 5.1");
  const CommandResult result = run({base + ".obj", "2", "0", "0"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(readFile(folder.file(base + "_labels.lb")), "2 \t0 \t0 \t1 \t1 \t");
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, LabelsFileInAMissingFolderFailsBeforeAnyWork) {
  writeFile(folder.file("m_labels.lb"), "old");
  const auto before = snapshot();
  const CommandResult result = run({"m.obj", "2", "0", "0", "--labels-file", "nowhere/l.lb"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("cannot write label file nowhere/l.lb: No such file or directory"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(snapshot(), before);
}

TEST_F(OutputSafety, AHardLinkToAnInputIsThatInput) {
  fs::create_hard_link(folder.file("m.obj"), folder.file("mesh-link.lb"));
  fs::create_hard_link(folder.file("m_attribute.att"), folder.file("values-link.ply"));
  const auto before = snapshot();
  const CommandResult labels = run({"m.obj", "2", "0", "0", "--labels-file", "mesh-link.lb"});
  EXPECT_EQ(labels.exitStatus, 2) << labels.err;
  EXPECT_NE(labels.err.find("is the mesh m.obj"), std::string::npos) << labels.err;
  const CommandResult coloured = run({"m.obj", "2", "0", "0", "--colour-mesh", "values-link.ply"});
  EXPECT_EQ(coloured.exitStatus, 2) << coloured.err;
  EXPECT_NE(coloured.err.find("is the attribute file m_attribute.att"), std::string::npos)
      << coloured.err;
  EXPECT_EQ(snapshot(), before);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, TheAttributeFileTheRunLeavesIsNoOutput) {
  // With computed values and an existing companion, the warning promises the
  // companion is left as it is: naming it as the label file is refused.
  const auto before = snapshot();
  const CommandResult result = run({"m.obj", "1", "0", "0", "--compute-attribute", "mean-curvature",
                                    "--labels-file", "m_attribute.att"});
  EXPECT_EQ(result.exitStatus, 2) << result.err;
  EXPECT_NE(result.err.find("must not replace an input"), std::string::npos) << result.err;
  EXPECT_EQ(snapshot(), before);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, AReplacedOutputKeepsItsMode) {
  writeFile(folder.file("m_labels.lb"), "old");
  fs::permissions(folder.file("m_labels.lb"), fs::perms::owner_read | fs::perms::owner_write);
  const CommandResult result = run({"m.obj", "2", "0", "0"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(readFile(folder.file("m_labels.lb")), "2 \t0 \t0 \t1 \t1 \t");
  EXPECT_EQ(fs::status(folder.file("m_labels.lb")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(OutputSafety, PipesAreWrittenIntoAtTheEndAndNeverReplaced) {
  writeFile(folder.file("c.ply"), "old mesh");
  const PipeReader pipe(folder.file("pipe.lb"));
  ASSERT_GE(pipe.descriptor(), 0) << std::strerror(errno);
  const CommandResult result =
      run({"m.obj", "2", "0", "0", "--labels-file", "pipe.lb", "--colour-mesh", "c.ply"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(drain(pipe.descriptor()), "2 \t0 \t0 \t1 \t1 \t");
  EXPECT_TRUE(fs::is_fifo(folder.file("pipe.lb")));
  EXPECT_EQ(readFile(folder.file("c.ply")).rfind("ply\n", 0), 0u);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, ARedirectedStandardOutputIsWrittenIntoNotReplaced) {
  // A private stand-in for /dev/stdout, with the output redirected to a file.
  fs::create_symlink("/proc/self/fd/1", folder.file("stdout.lb"));
  const std::string command = "cd '" + folder.path().string() + "' && '" + VORNEL_BINARY +
                              "' m.obj 2 0 0 --labels-file stdout.lb > out.txt";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(readFile(folder.file("out.txt")), "2 \t0 \t0 \t1 \t1 \t");
  EXPECT_TRUE(fs::is_symlink(folder.file("stdout.lb")));
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, APipeWithoutAReaderIsAnErrorNotAWait) {
  writeFile(folder.file("c.ply"), "old mesh");
  ASSERT_EQ(::mkfifo(folder.file("lonely.lb").c_str(), 0600), 0);
  const auto before = snapshot();
  const CommandResult result =
      run({"m.obj", "2", "0", "0", "--labels-file", "lonely.lb", "--colour-mesh", "c.ply"});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_NE(result.err.find("cannot write label file lonely.lb: no process reads this pipe"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(fs::is_fifo(folder.file("lonely.lb")));
  EXPECT_EQ(snapshot(), before);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, APrivateCharacterDeviceIsWrittenIntoNotReplaced) {
  const std::string device = folder.file("null.html"); // the numbers of the null device
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "cannot make a character device here: " << std::strerror(errno);
  const int probe = ::open(device.c_str(), O_WRONLY);
  if (probe < 0)
    GTEST_SKIP() << "cannot open a private character device here: " << std::strerror(errno);
  ::close(probe);
  const CommandResult result = run({"m.obj", "2", "0", "0", "--report", "null.html"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(fs::is_character_file(device));
  EXPECT_TRUE(fileExists(folder.file("m_labels.lb")));
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, OtherKindsOfFileAreRefusedBeforeAnyWork) {
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = folder.file("sock.lb");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const CommandResult result = run({"m.obj", "2", "0", "0", "--labels-file", "sock.lb"});
  ::close(listener);
  EXPECT_EQ(result.exitStatus, 2) << result.err;
  EXPECT_NE(result.err.find("sock.lb is a socket"), std::string::npos) << result.err;
  EXPECT_TRUE(fs::is_socket(socketPath));
  expectNoTemporaryFiles();
}

/// A flat grid large enough that its label file overfills a pipe.
class BlockedOutput : public OutputSafety {
protected:
  void SetUp() override {
    OutputSafety::SetUp();
    writeFile(folder.file("g.obj"), gridObj(160, 160)); // 25,600 labels of 3 bytes
  }
};

TEST_F(BlockedOutput, ASignalDuringTheRunLeavesNoTemporaryFile) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM}) {
    writeFile(folder.file("c.ply"), "old mesh");
    const PipeReader pipe(folder.file("pipe.lb"));
    ASSERT_GE(pipe.descriptor(), 0) << std::strerror(errno);
    BackgroundRun vornel({"g.obj", "1", "0", "0", "--compute-attribute", "mean-curvature",
                          "--labels-file", "pipe.lb", "--colour-mesh", "c.ply"},
                         folder.path().string());
    // Blocked on the pipe: the coloured mesh and the values are staged.
    ASSERT_TRUE(waitUntilPipeIsFull(pipe.descriptor(), vornel)) << vornel.err();
    vornel.send(signal);
    const int status = vornel.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << vornel.err();
    EXPECT_EQ(readFile(folder.file("c.ply")), "old mesh") << signal;
    EXPECT_FALSE(fileExists(folder.file("g_attribute.att"))) << signal;
    expectNoTemporaryFiles();
    fs::remove(folder.file("pipe.lb"));
  }
}

TEST_F(BlockedOutput, ComputedValuesNeverReplaceAFileCreatedDuringTheRun) {
  const PipeReader pipe(folder.file("pipe.lb"));
  ASSERT_GE(pipe.descriptor(), 0) << std::strerror(errno);
  BackgroundRun vornel({"g.obj", "1", "0", "0", "--compute-attribute", "mean-curvature",
                        "--attribute-file", "new.att", "--labels-file", "pipe.lb"},
                       folder.path().string());
  ASSERT_TRUE(waitUntilPipeIsFull(pipe.descriptor(), vornel)) << vornel.err();
  writeFile(folder.file("new.att"), "someone else's");
  drain(pipe.descriptor());
  const int status = vornel.wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << vornel.err();
  EXPECT_NE(vornel.err().find("new.att: the file appeared during the run"), std::string::npos)
      << vornel.err();
  EXPECT_EQ(readFile(folder.file("new.att")), "someone else's");
  expectNoTemporaryFiles();
}

} // namespace
} // namespace vornel::testing
