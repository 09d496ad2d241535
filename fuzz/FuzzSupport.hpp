#pragma once
// Shared pieces of the fuzz targets: a private scratch folder per process.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace vornel::fuzzing {

inline const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("vornel-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

inline std::string writeScratchFile(const std::string& name, const std::uint8_t* data,
                                    std::size_t size) {
  const std::string path = (scratchFolder() / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

} // namespace vornel::fuzzing
