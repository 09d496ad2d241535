#pragma once
// The choice of the mesh reader from the file name.

#include <string>

namespace vornel {

enum class MeshFormat { Obj, Off, Ply, Stl };

/// A path ending in ".ply" (any letter case) is PLY, one ending in ".stl"
/// STL; one whose last three characters are "obj" (any letter case) is OBJ;
/// everything else is OFF.
MeshFormat meshFormatOf(const std::string& path);

/// "OBJ", "OFF", "PLY" or "STL", for messages.
const char* meshFormatName(MeshFormat format);

/// Whether path ends in suffix, ignoring ASCII letter case.
bool endsWithIgnoringCase(const std::string& path, const std::string& suffix);

} // namespace vornel
