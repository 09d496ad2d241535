// Attribute text read onto a small mesh whose vertex count the first byte picks.

#include "FuzzSupport.hpp"
#include "core/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SurfaceFromSoup.hpp"
#include "mesh/io/AttributeFile.hpp"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  vornel::PolygonSoup soup;
  const int vertexCount = 1 + data[0] % 16;
  for (int i = 0; i < vertexCount; ++i)
    soup.points.emplace_back(float(i), float(i % 3), 0.0f);
  vornel::LabeledMesh mesh;
  vornel::buildSurface(soup, mesh, "fuzz");
  const std::string path = vornel::fuzzing::writeScratchFile("input.att", data + 1, size - 1);
  try {
    readMeshAttributes(mesh, path);
    for (const auto& vertex : mesh.surface.vertex_handles())
      if (!std::isfinite(vertex->attribute))
        __builtin_trap();
  } catch (const vornel::VornelError&) {
  }
  return 0;
}
