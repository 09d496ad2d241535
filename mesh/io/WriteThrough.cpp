// SIGPIPE is blocked in the writing thread alone (the library owns no
// process-wide signal state) and a pending one is taken back, so that a reader
// that goes away gives EPIPE instead of ending the process.

#include "mesh/io/WriteThrough.hpp"

#include "core/Errors.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace vornel {
namespace {

[[noreturn]] void failWriteThrough(const std::string& what, const std::string& path, int error) {
  const std::string reason =
      error == ENXIO ? "no process reads this pipe" : std::string(std::strerror(error));
  throw IOError("cannot write " + what + " " + path + ": " + reason);
}

/// Blocks SIGPIPE in this thread while alive; takes back one it raised.
class PipeSignalBlock {
public:
  PipeSignalBlock() {
    sigemptyset(&pipeSignal_);
    sigaddset(&pipeSignal_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSignal_, &previous_);
  }
  ~PipeSignalBlock() {
    if (!wasPending_) {
      const timespec noWait{0, 0};
      while (sigtimedwait(&pipeSignal_, nullptr, &noWait) == -1 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  PipeSignalBlock(const PipeSignalBlock&) = delete;
  PipeSignalBlock& operator=(const PipeSignalBlock&) = delete;

private:
  sigset_t pipeSignal_;
  sigset_t previous_;
  bool wasPending_ = false;
};

/// 0, or the errno of the first failed write.
int writeAll(int descriptor, const std::string& bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(descriptor, data, left);
    if (written < 0 && errno != EINTR) {
      return errno;
    }
    if (written > 0) {
      data += written;
      left -= static_cast<std::size_t>(written);
    }
  }
  return 0;
}

} // namespace

void writeThrough(const std::string& path, const std::string& bytes, const std::string& what) {
  // Without O_NONBLOCK, opening a pipe that nobody reads would wait forever.
  // O_APPEND: a redirected standard stream that is a regular file gets the
  // bytes after what it holds, as a shell's ">" or ">>" would.
  const int descriptor =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    failWriteThrough(what, path, errno);
  }
  // A slow reader is waited for, as any writer would.
  const int flags = ::fcntl(descriptor, F_GETFL);
  int error = flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0 ? errno : 0;
  if (error == 0) {
    const PipeSignalBlock block;
    error = writeAll(descriptor, bytes);
  }
  if (::close(descriptor) != 0 && error == 0 && errno != EINTR) {
    error = errno;
  }
  if (error != 0) {
    failWriteThrough(what, path, error);
  }
}

} // namespace vornel
