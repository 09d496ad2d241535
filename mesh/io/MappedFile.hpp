#pragma once
// An input file's bytes, mapped read-only into memory. Only regular files are
// read: a folder, a FIFO or a device is refused before anything is read, so a
// pipe without a writer cannot block a run and /dev/zero cannot fill memory.

#include <cstddef>
#include <string>
#include <string_view>

namespace vornel {

class MappedFile {
public:
  /// Maps path. `what` names the file in messages ("mesh", "attribute file").
  /// With preload, the pages are read in at once (files read whole); without,
  /// they are read as they are touched (files read only in part). Throws
  /// IOError naming the file and the reason.
  MappedFile(const std::string& path, const std::string& what, bool preload = true);
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  std::string_view text() const {
    return size_ == 0 ? std::string_view()
                      : std::string_view(static_cast<const char*>(address_), size_);
  }

private:
  void* address_ = nullptr;
  std::size_t size_ = 0;
};

/// Opens path for reading without blocking and checks that it is a regular
/// file; returns the open descriptor. Throws IOError ("cannot open <what>
/// <path>: <reason>", or "... is not a regular file").
int openRegularFile(const std::string& path, const std::string& what);

} // namespace vornel
