// Outputs are compared with the inputs and with each other by file identity
// (device and inode) where the files exist, which sees through links and
// different spellings ("m.off", "./m.off"), and by their resolved path where
// they do not exist yet. Before an output replaces an existing file, that file
// keeps a second name (a hard link in the same folder), so that it can be put
// back if a later output cannot be put in place.

#include "mesh/io/OutputFiles.hpp"

#include "core/Errors.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace vornel {
namespace {

struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  bool folder = false;
};

FileIdentity identityOf(const std::string& path) {
  struct stat status {};
  FileIdentity identity;
  if (::stat(path.c_str(), &status) == 0) {
    identity = {true, status.st_dev, status.st_ino, S_ISDIR(status.st_mode)};
  }
  return identity;
}

bool sameFile(const std::string& a, const std::string& b) {
  const FileIdentity x = identityOf(a);
  const FileIdentity y = identityOf(b);
  if (x.exists && y.exists) {
    return x.device == y.device && x.inode == y.inode;
  }
  std::error_code error;
  const auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(a, error), error);
  const auto q = std::filesystem::weakly_canonical(std::filesystem::absolute(b, error), error);
  return !error && p == q;
}

} // namespace

struct OutputFiles::Output {
  Output(const std::string& path, const std::string& what) : file(path, what) {}
  StagedFile file;
  std::string backupName; // the replaced file's second name while committing
  bool replacesAFile = true; // false once linking it showed there was no file
};

OutputFiles::OutputFiles(std::vector<Input> inputs) : inputs_(std::move(inputs)) {}

OutputFiles::~OutputFiles() = default;

void OutputFiles::checkIdentity(const std::string& path, const std::string& what) const {
  for (const Input& input : inputs_) {
    if (sameFile(path, input.path)) {
      throw UsageError("the " + what + " " + path + " is the " + input.what + " " + input.path +
                       "; an output must not replace an input");
    }
  }
  for (const auto& output : outputs_) {
    if (sameFile(path, output->file.path())) {
      throw UsageError("the " + what + " " + path + " is also the " + output->file.what() + " " +
                       output->file.path() + "; every output needs a file of its own");
    }
  }
  if (identityOf(path).folder) {
    throw IOError("cannot write " + what + " " + path + ": it is a folder");
  }
}

std::size_t OutputFiles::declare(const std::string& path, const std::string& what) {
  checkIdentity(path, what);
  outputs_.push_back(std::make_unique<Output>(path, what));
  return outputs_.size() - 1;
}

void OutputFiles::write(std::size_t number, const std::string& bytes) {
  outputs_.at(number)->file.write(bytes);
}

void OutputFiles::commitAll() {
  for (std::size_t k = 0; k < outputs_.size(); ++k) {
    Output& output = *outputs_[k];
    const int folder = output.file.folder();
    // Best effort: a file system without hard links gets no way back.
    const std::string backup =
        ".vornel-backup-" + std::to_string(::getpid()) + "-" + std::to_string(k);
    if (::linkat(folder, output.file.name().c_str(), folder, backup.c_str(), 0) == 0) {
      output.backupName = backup;
    } else {
      output.replacesAFile = errno != ENOENT;
    }
    try {
      output.file.commit();
    } catch (const IOError&) {
      restore(k);
      throw;
    }
  }
  for (const auto& output : outputs_) {
    if (!output->backupName.empty()) {
      ::unlinkat(output->file.folder(), output->backupName.c_str(), 0);
    }
  }
}

void OutputFiles::restore(std::size_t committedCount) {
  for (std::size_t k = 0; k <= committedCount && k < outputs_.size(); ++k) {
    Output& output = *outputs_[k];
    const int folder = output.file.folder();
    const char* name = output.file.name().c_str();
    if (!output.backupName.empty()) {
      if (output.file.committed()) {
        ::renameat(folder, output.backupName.c_str(), folder, name);
      } else {
        ::unlinkat(folder, output.backupName.c_str(), 0);
      }
    } else if (output.file.committed() && !output.replacesAFile) {
      ::unlinkat(folder, name, 0); // there was no file before
    }
    // A file replaced without a backup stays as written: deleting it would
    // lose the old and the new contents both.
  }
}

} // namespace vornel
