#pragma once
// The files one run writes, all or nothing. Every output is declared before
// the run computes anything, which checks its path and creates its temporary
// file; once every output's bytes are written, all are put in place together,
// and if one cannot be, those already put in place are put back as they were.
// A failed run therefore leaves every existing output byte for byte as it was.
// An output that is a character device, a named pipe or the file a standard
// stream is redirected to is never replaced: its bytes are written into it
// once every other output is staged, just before they are put in place.

#include "mesh/io/AtomicFile.hpp"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vornel {

class OutputFiles {
public:
  /// inputs: the files the run reads, or promises to leave as they are, with
  /// what each is ("mesh", ...).
  struct Input {
    std::string path;
    std::string what;
  };
  explicit OutputFiles(std::vector<Input> inputs);
  ~OutputFiles();
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  /// Whether an output may take the place of a file of its name.
  enum class Placement { Replace, NeverReplace };

  /// Declares an output and creates its temporary file; returns its number.
  /// Throws OutputPathError when the path is the same file as an input or as
  /// an output declared before (compared by file identity, not spelling), or
  /// a kind of file that can be neither replaced nor written into (a socket, a
  /// block device); IOError when it names a folder or its folder cannot take a
  /// new file. A NeverReplace output fails at commitAll if a file of its name
  /// has appeared meanwhile.
  std::size_t declare(const std::string& path, const std::string& what,
                      Placement placement = Placement::Replace);

  /// Writes the bytes of output `number` to its temporary file. Throws IOError.
  void write(std::size_t number, const std::string& bytes);

  /// Writes the devices and pipes, then puts every other output in place.
  /// Throws IOError after restoring the outputs already put in place when one
  /// cannot be.
  void commitAll();

private:
  struct Output;
  void checkIdentity(const std::string& path, const std::string& what) const;
  void writeDevices();
  void putFilesInPlace();
  void restore(std::size_t committedCount);

  std::vector<Input> inputs_;
  std::vector<std::unique_ptr<Output>> outputs_;
};

/// Writes one output with the rules of every output: a regular file replaced
/// atomically (keeping its mode), a device or a pipe written into, any other
/// kind refused. Throws IOError or OutputPathError.
void writeOutputFile(const std::string& path, const std::string& bytes, const std::string& what);

} // namespace vornel
