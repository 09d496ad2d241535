// OFF file → halfedge surface → prepared geometry and rings.

#include "FuzzSupport.hpp"
#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = vornel::fuzzing::writeScratchFile("input.off", data, size);
  try {
    vornel::LabeledMesh mesh;
    vornel::readMeshFile(path, mesh);
    vornel::prepareGeometry(mesh);
    const vornel::VertexGraph graph = vornel::buildVertexGraph(mesh);
    if (graph.vertexCount() != mesh.vertexCount())
      __builtin_trap();
  } catch (const vornel::VornelError&) {
  }
  return 0;
}
