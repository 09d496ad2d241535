#include "mesh/io/MeshFormat.hpp"

#include <cctype>

namespace vornel {

bool endsWithIgnoringCase(const std::string& path, const std::string& suffix) {
  if (path.size() < suffix.size()) {
    return false;
  }
  const std::size_t start = path.size() - suffix.size();
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const auto a = static_cast<unsigned char>(path[start + i]);
    const auto b = static_cast<unsigned char>(suffix[i]);
    if (std::tolower(a) != std::tolower(b)) {
      return false;
    }
  }
  return true;
}

MeshFormat meshFormatOf(const std::string& path) {
  if (endsWithIgnoringCase(path, ".ply")) {
    return MeshFormat::Ply;
  }
  if (endsWithIgnoringCase(path, ".stl")) {
    return MeshFormat::Stl;
  }
  // A path shorter than three characters is compared whole, so "obj" is OBJ.
  return endsWithIgnoringCase(path, "obj") ? MeshFormat::Obj : MeshFormat::Off;
}

const char* meshFormatName(MeshFormat format) {
  switch (format) {
  case MeshFormat::Obj:
    return "OBJ";
  case MeshFormat::Ply:
    return "PLY";
  case MeshFormat::Stl:
    return "STL";
  case MeshFormat::Off:
    break;
  }
  return "OFF";
}

} // namespace vornel
