#pragma once
// Writing a file so that readers never see it half written: the bytes go to a
// fresh temporary file in the target's folder, which is renamed over the target
// only when complete. A failed write leaves the target untouched.

#include <string>

namespace vornel {

/// A file written under a temporary name and not yet in place. commit() renames
/// it over its target; destruction without commit removes the temporary file.
class StagedFile {
public:
  /// Writes bytes to a new temporary file next to path. Throws IOError naming
  /// "cannot write <what> <path>" and the system's reason.
  StagedFile(const std::string& path, const std::string& bytes, const std::string& what);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  /// Puts the file in place. Throws IOError when the rename fails.
  void commit();

private:
  std::string path_;
  std::string temporaryPath_;
  std::string what_;
  bool committed_ = false;
};

/// Writes bytes to path atomically; what names the kind of file in messages.
void writeFileAtomically(const std::string& path, const std::string& bytes,
                         const std::string& what);

} // namespace vornel
