#pragma once
// What the PLY readers take from the body, learnt from the header before it
// is read: where the coordinates, the asked-for vertex value and each face
// element's corner list sit.

#include "mesh/io/PlyHeader.hpp"

#include <string>
#include <vector>

namespace vornel {

/// Where the wanted properties sit in the vertex element.
struct PlyVertexLayout {
  int x = -1, y = -1, z = -1;
  int value = -1; // the property read as each vertex's value, when asked for
};

struct PlyBodyPlan {
  const PlyHeader* header = nullptr;
  const PlyElement* vertices = nullptr; // the first element named "vertex"
  PlyVertexLayout layout;
  /// For each element named "face", the index of its corner list, or -1 when
  /// it has none that can be read; -1 for every other element.
  std::vector<int> faceCorners;
  /// True when every "face" element has a corner list that can be read.
  bool facesReadable() const;
};

/// The plan for header. Throws InvalidInputError for a missing vertex element,
/// too many vertices or missing coordinates, and, when valueProperty is
/// given, VertexPropertyError when the vertex element has no such scalar.
PlyBodyPlan plyBodyPlan(const PlyHeader& header, const std::string* valueProperty,
                        const std::string& sourceName);

/// The corner list of a "face" element; throws InvalidInputError naming its
/// header line when it has none or it does not hold integers.
int plyFaceCornerProperty(const PlyElement& element, const std::string& sourceName);

} // namespace vornel
