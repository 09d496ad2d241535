// Writing the label file. The file is written atomically (AtomicFile.hpp), so
// a failed write leaves no partial file and an existing label file untouched.

#include "mesh/io/LabelFile.hpp"

#include "mesh/LabeledMesh.hpp"
#include "mesh/io/OutputFiles.hpp"

#include <charconv>
#include <vector>

namespace vornel {
namespace {

void appendNumber(std::string& text, std::int32_t number) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  text.append(digits, result.ptr);
  text.append(" \t", 2);
}

} // namespace

std::string labelFileText(std::int32_t classCount, const std::int32_t* labels, std::size_t count) {
  std::string text;
  text.reserve((count + 1) * 4);
  appendNumber(text, classCount);
  for (std::size_t k = 0; k < count; ++k) {
    appendNumber(text, labels[k]);
  }
  return text;
}

void writeMeshLabels(const LabeledMesh& mesh, const std::string& path) {
  std::vector<std::int32_t> labels;
  labels.reserve(mesh.vertexCount());
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    labels.push_back(v->label);
  }
  writeOutputFile(path, labelFileText(mesh.classCount, labels.data(), labels.size()), "label file");
}

} // namespace vornel
