// The temporary file is created exclusively ("x" mode) under the target's name
// with a process-specific suffix, so an existing file is never opened.

#include "mesh/io/AtomicFile.hpp"

#include "mesh/Errors.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vornel {
namespace {

[[noreturn]] void failWrite(const std::string& what, const std::string& path, int error) {
  throw IOError("cannot write " + what + " " + path + ": " + std::strerror(error));
}

/// Creates a fresh temporary file next to path; never opens an existing one.
std::FILE* createTemporary(const std::string& path, std::string& temporaryPath) {
  const std::string stem = path + ".tmp-" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryPath = stem + std::to_string(attempt);
    std::FILE* file = std::fopen(temporaryPath.c_str(), "wbx");
    if (file != nullptr || errno != EEXIST) {
      return file;
    }
  }
  return nullptr;
}

/// Writes bytes to the open file and closes it; returns 0 or the error number.
int writeAndClose(std::FILE* file, const std::string& bytes) {
  int error = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fflush(file) != 0) {
    error = errno != 0 ? errno : EIO;
  }
  if (std::fclose(file) != 0 && error == 0) {
    error = errno != 0 ? errno : EIO;
  }
  return error;
}

} // namespace

StagedFile::StagedFile(const std::string& path, const std::string& bytes, const std::string& what)
    : path_(path), what_(what) {
  errno = 0;
  std::FILE* const file = createTemporary(path_, temporaryPath_);
  if (file == nullptr) {
    failWrite(what_, path_, errno != 0 ? errno : EEXIST);
  }
  errno = 0;
  const int error = writeAndClose(file, bytes);
  if (error != 0) {
    std::remove(temporaryPath_.c_str());
    failWrite(what_, path_, error);
  }
}

StagedFile::~StagedFile() {
  if (!committed_) {
    std::remove(temporaryPath_.c_str());
  }
}

void StagedFile::commit() {
  if (committed_) {
    return;
  }
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    failWrite(what_, path_, errno);
  }
  committed_ = true;
}

void writeFileAtomically(const std::string& path, const std::string& bytes,
                         const std::string& what) {
  StagedFile(path, bytes, what).commit();
}

} // namespace vornel
