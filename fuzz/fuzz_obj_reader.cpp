// OBJ text → polygon soup → halfedge surface → prepared geometry and rings.

#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/ObjParser.hpp"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const vornel::PolygonSoup soup = vornel::parseObj(text, "fuzz.obj");
    vornel::LabeledMesh mesh;
    vornel::buildSurface(soup, mesh, "fuzz.obj");
    vornel::prepareGeometry(mesh);
    const vornel::VertexGraph graph = vornel::buildVertexGraph(mesh);
    if (graph.vertexCount() != mesh.vertexCount())
      __builtin_trap();
  } catch (const vornel::VornelError&) {
  }
  return 0;
}
