#include "mesh/io/PlyBodyPlan.hpp"

#include "core/Errors.hpp"
#include "core/PrintableText.hpp"
#include "mesh/io/VertexPropertyError.hpp"

#include <cstdint>
#include <limits>

namespace vornel {
namespace {

PlyVertexLayout vertexLayout(const PlyElement& element, const std::string& sourceName) {
  PlyVertexLayout layout{element.propertyIndex("x"), element.propertyIndex("y"),
                         element.propertyIndex("z")};
  for (const int index : {layout.x, layout.y, layout.z}) {
    if (index < 0 || element.properties[static_cast<std::size_t>(index)].isList) {
      throw InvalidInputError(sourceName + ":" + std::to_string(element.headerLine) +
                              ": the vertex element needs scalar properties x, y and z");
    }
  }
  return layout;
}

/// The index of the vertex property to read as values. Throws VertexPropertyError,
/// listing the vertex properties the file has, when it is missing or a list.
int valueProperty(const PlyElement& element, const std::string& name,
                  const std::string& sourceName) {
  const int index = element.propertyIndex(name);
  std::string available;
  for (const PlyProperty& property : element.properties) {
    available += (available.empty() ? "" : ", ") + printableText(property.name) +
                 (property.isList ? " (list)" : "");
  }
  if (index < 0) {
    throw VertexPropertyError(sourceName + " has no vertex property \"" + name +
                              "\"; its vertex properties are: " + available);
  }
  if (element.properties[static_cast<std::size_t>(index)].isList) {
    throw VertexPropertyError(
        "the vertex property \"" + name + "\" of " + sourceName +
        " is a list; a scalar property is needed (the vertex properties are: " + available + ")");
  }
  return index;
}

int faceCornerList(const PlyElement& element) {
  const int index = element.propertyIndex("vertex_indices");
  return index >= 0 ? index : element.propertyIndex("vertex_index");
}

bool readableCornerList(const PlyElement& element, int index) {
  return index >= 0 && element.properties[static_cast<std::size_t>(index)].isList &&
         isPlyIntegerType(element.properties[static_cast<std::size_t>(index)].type);
}

} // namespace

bool PlyBodyPlan::facesReadable() const {
  for (std::size_t e = 0; e < faceCorners.size(); ++e) {
    if (header->elements[e].name == "face" && faceCorners[e] < 0) {
      return false;
    }
  }
  return true;
}

PlyBodyPlan plyBodyPlan(const PlyHeader& header, const std::string* valueName,
                        const std::string& sourceName) {
  PlyBodyPlan plan;
  plan.header = &header;
  for (const PlyElement& element : header.elements) {
    if (element.name == "vertex" && plan.vertices == nullptr) {
      plan.vertices = &element;
    }
    const int corners = element.name == "face" ? faceCornerList(element) : -1;
    plan.faceCorners.push_back(readableCornerList(element, corners) ? corners : -1);
  }
  if (plan.vertices == nullptr) {
    throw InvalidInputError(sourceName + ": the PLY file has no vertex element");
  }
  if (plan.vertices->count > std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError(sourceName + ": too many vertices");
  }
  plan.layout = vertexLayout(*plan.vertices, sourceName);
  if (valueName != nullptr) {
    plan.layout.value = valueProperty(*plan.vertices, *valueName, sourceName);
  }
  return plan;
}

int plyFaceCornerProperty(const PlyElement& element, const std::string& sourceName) {
  const int index = faceCornerList(element);
  const std::string place = sourceName + ":" + std::to_string(element.headerLine);
  if (index < 0 || !element.properties[static_cast<std::size_t>(index)].isList) {
    throw InvalidInputError(place + ": the face element needs a vertex_indices list");
  }
  if (!isPlyIntegerType(element.properties[static_cast<std::size_t>(index)].type)) {
    throw InvalidInputError(place + ": vertex_indices must hold integers");
  }
  return index;
}

} // namespace vornel
