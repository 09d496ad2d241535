// Writing the label file: the class count, then every vertex's label in vertex
// order, each number followed by a space and a tab, with no line feed.
// The file is written atomically (AtomicFile.hpp), so a failed write leaves no
// partial file and an existing label file untouched.

#include "mesh/io/AtomicFile.hpp"
#include "mesh/LabeledMesh.hpp"

#include <charconv>
#include <cstdint>
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

} // namespace

void LabeledMesh::writeLabels(const std::string& path) const {
  writeFileAtomically(path, labelText(*this), "label file");
}

} // namespace vornel
