#pragma once
// Shared pieces of the fuzz targets: a private scratch folder per process.

#include "core/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/build/SurfaceBuilder.hpp"
#include "mesh/io/MeshReading.hpp"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace vornel::fuzzing {

// The folder lives in memory (/dev/shm) where the system has one: rewriting a
// file on a disk file system every run can force a flush to disk per input,
// which slows the fuzzer down by orders of magnitude. It is removed at exit.
class ScratchFolder {
public:
  ScratchFolder() : path_(baseFolder() / ("vornel-fuzz-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

private:
  static std::filesystem::path baseFolder() {
    std::error_code error;
    const std::filesystem::path memory("/dev/shm");
    if (std::filesystem::is_directory(memory, error)) {
      return memory;
    }
    return std::filesystem::temp_directory_path();
  }

  std::filesystem::path path_;
};

inline const std::filesystem::path& scratchFolder() {
  static const ScratchFolder folder;
  return folder.path();
}

inline std::string writeScratchFile(const std::string& name, const std::uint8_t* data,
                                    std::size_t size) {
  const std::string path = (scratchFolder() / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

/// The reading path as the command line runs it, with or without --repair,
/// followed by the stages that walk the built surface. A surface whose graph
/// does not match it is a fault, reported as a crash.
inline void readBuildAndWalk(const std::string& path, bool repair) {
  try {
    ReadOptions options;
    options.repair = repair;
    CheckedSoup checked = readCheckedSoup(path, options);
    LabeledMesh mesh;
    buildValidatedSurface(std::move(checked.soup), std::move(checked.topology), mesh);
    prepareGeometry(mesh);
    const VertexGraph graph = buildVertexGraph(mesh);
    if (graph.vertexCount() != mesh.vertexCount())
      __builtin_trap();
  } catch (const VornelError&) {
  }
}

} // namespace vornel::fuzzing
