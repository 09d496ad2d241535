// The choice of the mesh reader from the file name.

#include "mesh/MeshInput.hpp"

#include <algorithm>
#include <cctype>
#include <string>

namespace vornel {

void readMeshFile(const std::string& path, LabeledMesh& mesh) {
  // The last three characters, or the whole path when it is shorter.
  std::string ending = path.substr(path.size() < 3 ? 0 : path.size() - 3);
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ending == "obj") {
    readObjFile(path, mesh);
  } else {
    readOffFile(path, mesh);
  }
}

} // namespace vornel
