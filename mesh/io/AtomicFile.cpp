// The temporary file lives in the target's folder, reached through an open
// descriptor of that folder, so that only the file names matter for length
// limits and the final rename stays within one file system.

#include "mesh/io/AtomicFile.hpp"

#include "core/Errors.hpp"
#include "mesh/io/TemporaryFileRegistry.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vornel {
namespace {

[[noreturn]] void failWrite(const std::string& what, const std::string& path, int error) {
  throw IOError("cannot write " + what + " " + path + ": " + std::strerror(error));
}

/// The folder part of path ("." when there is none) and the name in it.
std::pair<std::string, std::string> splitPath(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) {
    return {".", path};
  }
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string temporaryNameCandidate() {
  static std::atomic<unsigned> counter{0};
  char name[40];
  std::snprintf(name, sizeof name, ".vornel-%x-%x", static_cast<unsigned>(::getpid()),
                counter.fetch_add(1));
  return name;
}

} // namespace

StagedFile::StagedFile(const std::string& path, const std::string& what)
    : path_(path), what_(what), registrySlot_(noTemporarySlot) {
  const auto [folder, name] = splitPath(path);
  name_ = name;
  if (name_.empty() || name_ == "." || name_ == "..") {
    failWrite(what_, path_, EISDIR);
  }
  folder_ = ::open(folder.c_str(), O_DIRECTORY | O_PATH | O_CLOEXEC);
  if (folder_ < 0) {
    failWrite(what_, path_, errno);
  }
  for (int attempt = 0; attempt < 100 && descriptor_ < 0; ++attempt) {
    temporaryName_ = temporaryNameCandidate();
    descriptor_ =
        ::openat(folder_, temporaryName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor_ < 0 && errno != EEXIST) {
      const int error = errno;
      ::close(folder_);
      failWrite(what_, path_, error);
    }
  }
  if (descriptor_ < 0) {
    ::close(folder_);
    failWrite(what_, path_, EEXIST);
  }
  registrySlot_ = rememberTemporaryFile(folder_, temporaryName_);
}

StagedFile::StagedFile(const std::string& path, const std::string& bytes, const std::string& what)
    : StagedFile(path, what) {
  write(bytes);
}

StagedFile::~StagedFile() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
  if (!committed_) {
    ::unlinkat(folder_, temporaryName_.c_str(), 0);
    forgetTemporaryFile(registrySlot_);
  }
  ::close(folder_);
}

void StagedFile::write(const std::string& bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  int error = 0;
  while (left > 0 && error == 0) {
    const ssize_t written = ::write(descriptor_, data, left);
    if (written < 0 && errno != EINTR) {
      error = errno;
    } else if (written > 0) {
      data += written;
      left -= static_cast<std::size_t>(written);
    }
  }
  if (::close(descriptor_) != 0 && error == 0) {
    error = errno;
  }
  descriptor_ = -1;
  if (error != 0) {
    failWrite(what_, path_, error);
  }
}

void StagedFile::keepModeOfReplacedFile() const {
  struct stat replaced {};
  if (::fstatat(folder_, name_.c_str(), &replaced, 0) != 0 || !S_ISREG(replaced.st_mode)) {
    return;
  }
  // Owner first: changing it may clear the set-id bits that the mode then
  // restores. Only a privileged process may give a file away (EPERM
  // otherwise): the file then stays the process's own, with the old mode.
  const char* temporary = temporaryName_.c_str();
  const bool ownerKept =
      ::fchownat(folder_, temporary, replaced.st_uid, replaced.st_gid, AT_SYMLINK_NOFOLLOW) == 0;
  const mode_t mode = replaced.st_mode & (ownerKept ? 07777 : 0777);
  if (::fchmodat(folder_, temporary, mode, 0) != 0) {
    failWrite(what_, path_, errno);
  }
}

void StagedFile::placed() {
  committed_ = true;
  forgetTemporaryFile(registrySlot_);
}

void StagedFile::commit() {
  if (committed_) {
    return;
  }
  keepModeOfReplacedFile();
  if (::renameat(folder_, temporaryName_.c_str(), folder_, name_.c_str()) != 0) {
    failWrite(what_, path_, errno);
  }
  placed();
}

void StagedFile::commitWithoutReplacing() {
  if (committed_) {
    return;
  }
  int result =
      ::renameat2(folder_, temporaryName_.c_str(), folder_, name_.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the flag: a new hard link fails as well when the
    // name is taken; the temporary name is dropped once the link stands.
    result = ::linkat(folder_, temporaryName_.c_str(), folder_, name_.c_str(), 0);
    if (result == 0) {
      ::unlinkat(folder_, temporaryName_.c_str(), 0);
    }
  }
  if (result != 0 && errno == EEXIST) {
    throw IOError("cannot write " + what_ + " " + path_ +
                  ": the file appeared during the run and is left as it is");
  }
  if (result != 0) {
    failWrite(what_, path_, errno);
  }
  placed();
}

void writeFileAtomically(const std::string& path, const std::string& bytes,
                         const std::string& what) {
  StagedFile(path, bytes, what).commit();
}

} // namespace vornel
