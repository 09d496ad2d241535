// OBJ file → checked soup (with or without repair) → surface → geometry and
// rings. The first byte's low bit chooses --repair; the rest is the file.

#include "FuzzSupport.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1)
    return 0;
  const std::string path = vornel::fuzzing::writeScratchFile("input.obj", data + 1, size - 1);
  vornel::fuzzing::readBuildAndWalk(path, (data[0] & 1) != 0);
  return 0;
}
