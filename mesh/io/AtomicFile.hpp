#pragma once
// Writing a file so that readers never see it half written: the bytes go to a
// fresh temporary file in the target's folder, which is renamed over the target
// only when complete. A failed write leaves the target untouched, and an
// existing target is replaced, never written through (a hard or symbolic link
// to another file leaves that file as it was); the new file keeps the replaced
// file's mode, and its owner and group where the process may set them.

#include <cstddef>
#include <string>

namespace vornel {

/// A file written under a temporary name and not yet in place. The temporary
/// file is created in the target's folder under a short name of its own
/// (".vornel-..."), so it fits wherever the target's name fits; it is created
/// exclusively, so no existing file is ever opened. Destruction without commit
/// removes it.
class StagedFile {
public:
  /// Creates the temporary file, empty. Throws IOError naming "cannot write
  /// <what> <path>" and the system's reason (a missing or read-only folder...).
  StagedFile(const std::string& path, const std::string& what);
  /// Creates the temporary file and writes bytes to it.
  StagedFile(const std::string& path, const std::string& bytes, const std::string& what);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  /// Writes the whole content and closes the temporary file. Throws IOError.
  void write(const std::string& bytes);
  /// Puts the file in place. Throws IOError when the rename fails.
  void commit();
  /// Puts the file in place only if no file has that name; throws IOError
  /// naming the file when one has appeared (nothing is replaced then).
  void commitWithoutReplacing();
  /// Whether commit has put the file in place.
  bool committed() const { return committed_; }

  const std::string& path() const { return path_; }
  const std::string& what() const { return what_; }
  /// The folder (as an open descriptor) and the target's name within it.
  int folder() const { return folder_; }
  const std::string& name() const { return name_; }

private:
  std::string path_;
  std::string what_;
  std::string name_;
  std::string temporaryName_;
  int folder_ = -1;
  int descriptor_ = -1;
  std::size_t registrySlot_;
  bool committed_ = false;

  void keepModeOfReplacedFile() const;
  void placed();
};

/// Writes bytes to path atomically; what names the kind of file in messages.
void writeFileAtomically(const std::string& path, const std::string& bytes,
                         const std::string& what);

} // namespace vornel
