// Writing the label file: the class count, then every vertex's label in vertex
// order, each number followed by a space and a tab, with no line feed.
// The file is written under a temporary name in the same folder and renamed
// over the target only when complete, so a failed write leaves no partial
// file and an existing label file untouched.

#include "mesh/Errors.hpp"
#include "mesh/LabeledMesh.hpp"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace vornel {
namespace {

void appendNumber(std::string& text, std::int32_t number) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  text.append(digits, result.ptr);
  text.append(" \t", 2);
}

std::string labelText(const LabeledMesh& mesh) {
  std::string text;
  text.reserve((mesh.vertexCount() + 1) * 4);
  appendNumber(text, mesh.classCount);
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    appendNumber(text, v->label);
  }
  return text;
}

[[noreturn]] void failWrite(const std::string& path, int error) {
  throw IOError("cannot write label file " + path + ": " + std::strerror(error));
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

/// Writes text to the open file and closes it; returns 0 or the error number.
int writeAndClose(std::FILE* file, const std::string& text) {
  int error = 0;
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fflush(file) != 0) {
    error = errno != 0 ? errno : EIO;
  }
  if (std::fclose(file) != 0 && error == 0) {
    error = errno != 0 ? errno : EIO;
  }
  return error;
}

} // namespace

void LabeledMesh::writeLabels(const std::string& path) const {
  const std::string text = labelText(*this);
  std::string temporaryPath;
  errno = 0;
  std::FILE* const file = createTemporary(path, temporaryPath);
  if (file == nullptr) {
    failWrite(path, errno != 0 ? errno : EEXIST);
  }
  errno = 0;
  int error = writeAndClose(file, text);
  if (error == 0 && std::rename(temporaryPath.c_str(), path.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    std::remove(temporaryPath.c_str());
    failWrite(path, error);
  }
}

} // namespace vornel
