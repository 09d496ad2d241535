// Outputs are compared with the inputs and with each other by file identity
// (device and inode) where the files exist, which sees through links and
// different spellings ("m.off", "./m.off"), and by their resolved path where
// they do not exist yet. Before an output replaces an existing file, that file
// keeps a second name (a hard link in the same folder), so that it can be put
// back if a later output cannot be put in place.

#include "mesh/io/OutputFiles.hpp"

#include "core/Errors.hpp"
#include "mesh/io/TemporaryFileRegistry.hpp"
#include "mesh/io/WriteThrough.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace vornel {
namespace {

struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  mode_t mode = 0;
};

FileIdentity identityOf(const std::string& path) {
  struct stat status {};
  FileIdentity identity;
  if (::stat(path.c_str(), &status) == 0) {
    identity = {true, status.st_dev, status.st_ino, status.st_mode};
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

/// How an output reaches its file: staged and put in place, or written into.
enum class OutputKind { Staged, WrittenThrough };

/// Whether file is the one this process's standard output or error is
/// writing to (a shell redirect reached as /dev/stdout, say).
bool isAStandardStream(const FileIdentity& file) {
  for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat status {};
    if (::fstat(stream, &status) == 0 && status.st_dev == file.device &&
        status.st_ino == file.inode) {
      return true;
    }
  }
  return false;
}

/// How the output at path is written; throws for a file that can be neither
/// replaced nor written into.
OutputKind outputKindOf(const std::string& path, const std::string& what) {
  const FileIdentity existing = identityOf(path);
  if (!existing.exists) {
    return OutputKind::Staged;
  }
  // A redirected stream is written into: replacing it would replace the link
  // that names it (/dev/stdout) and leave the redirect's file empty.
  if (S_ISREG(existing.mode)) {
    return isAStandardStream(existing) ? OutputKind::WrittenThrough : OutputKind::Staged;
  }
  if (S_ISDIR(existing.mode)) {
    throw IOError("cannot write " + what + " " + path + ": it is a folder");
  }
  if (S_ISCHR(existing.mode) || S_ISFIFO(existing.mode)) {
    return OutputKind::WrittenThrough;
  }
  const char* kind = S_ISSOCK(existing.mode)  ? "a socket"
                     : S_ISBLK(existing.mode) ? "a block device"
                                              : "not a regular file";
  throw OutputPathError("the " + what + " " + path + " is " + kind +
                        "; an output is written only to a regular file, a character device "
                        "or a pipe");
}

} // namespace

struct OutputFiles::Output {
  Output(const std::string& path, const std::string& what, Placement placement, OutputKind kind)
      : path(path), what(what), placement(placement) {
    if (kind == OutputKind::Staged) {
      file.emplace(path, what);
    }
  }
  std::string path;
  std::string what;
  Placement placement;
  std::optional<StagedFile> file; // empty when written into (a device, a pipe...)
  std::string bytes;              // what such an output receives at the end
  std::string backupName;         // the replaced file's second name while committing
  bool replacesAFile = true;      // false once linking it showed there was no file
};

OutputFiles::OutputFiles(std::vector<Input> inputs) : inputs_(std::move(inputs)) {}

OutputFiles::~OutputFiles() = default;

void OutputFiles::checkIdentity(const std::string& path, const std::string& what) const {
  for (const Input& input : inputs_) {
    if (sameFile(path, input.path)) {
      throw OutputPathError("the " + what + " " + path + " is the " + input.what + " " +
                            input.path + "; an output must not replace an input");
    }
  }
  for (const auto& output : outputs_) {
    if (sameFile(path, output->path)) {
      throw OutputPathError("the " + what + " " + path + " is also the " + output->what + " " +
                            output->path + "; every output needs a file of its own");
    }
  }
}

std::size_t OutputFiles::declare(const std::string& path, const std::string& what,
                                 Placement placement) {
  checkIdentity(path, what);
  const OutputKind kind = outputKindOf(path, what);
  outputs_.push_back(std::make_unique<Output>(path, what, placement, kind));
  return outputs_.size() - 1;
}

void OutputFiles::write(std::size_t number, const std::string& bytes) {
  Output& output = *outputs_.at(number);
  if (output.file) {
    output.file->write(bytes);
  } else {
    output.bytes = bytes;
  }
}

void OutputFiles::commitAll() {
  writeDevices();
  putFilesInPlace();
}

void OutputFiles::writeDevices() {
  for (const auto& output : outputs_) {
    if (!output->file) {
      writeThrough(output->path, output->bytes, output->what);
    }
  }
}

void OutputFiles::putFilesInPlace() {
  // A signal in the middle would leave some outputs new and some old.
  const CommitWindow window;
  for (std::size_t k = 0; k < outputs_.size(); ++k) {
    Output& output = *outputs_[k];
    if (!output.file) {
      continue;
    }
    StagedFile& file = *output.file;
    const int folder = file.folder();
    // Best effort: a file system without hard links gets no way back.
    const std::string backup =
        ".vornel-backup-" + std::to_string(::getpid()) + "-" + std::to_string(k);
    const bool replaces = output.placement == Placement::Replace;
    if (replaces && ::linkat(folder, file.name().c_str(), folder, backup.c_str(), 0) == 0) {
      output.backupName = backup;
    } else {
      output.replacesAFile = replaces && errno != ENOENT;
    }
    try {
      replaces ? file.commit() : file.commitWithoutReplacing();
    } catch (const IOError&) {
      restore(k);
      throw;
    }
  }
  for (const auto& output : outputs_) {
    if (!output->backupName.empty()) {
      ::unlinkat(output->file->folder(), output->backupName.c_str(), 0);
    }
  }
}

void OutputFiles::restore(std::size_t committedCount) {
  for (std::size_t k = 0; k <= committedCount && k < outputs_.size(); ++k) {
    Output& output = *outputs_[k];
    if (!output.file) {
      continue; // what a device or a pipe received cannot be taken back
    }
    const StagedFile& file = *output.file;
    const int folder = file.folder();
    const char* name = file.name().c_str();
    if (!output.backupName.empty()) {
      if (file.committed()) {
        ::renameat(folder, output.backupName.c_str(), folder, name);
      } else {
        ::unlinkat(folder, output.backupName.c_str(), 0);
      }
    } else if (file.committed() && !output.replacesAFile) {
      ::unlinkat(folder, name, 0); // there was no file before
    }
    // A file replaced without a backup stays as written: deleting it would
    // lose the old and the new contents both.
  }
}

void writeOutputFile(const std::string& path, const std::string& bytes, const std::string& what) {
  OutputFiles outputs({});
  outputs.write(outputs.declare(path, what), bytes);
  outputs.commitAll();
}

} // namespace vornel
