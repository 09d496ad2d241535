// The choice of the mesh reader from the file name.

#include "mesh/io/MeshFormat.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/PlyReader.hpp"

#include <string>

namespace vornel {

void readMeshFile(const std::string& path, LabeledMesh& mesh) {
  switch (meshFormatOf(path)) {
  case MeshFormat::Ply:
    readPlyFile(path, mesh);
    break;
  case MeshFormat::Obj:
    readObjFile(path, mesh);
    break;
  case MeshFormat::Off:
    readOffFile(path, mesh);
    break;
  }
}

} // namespace vornel
