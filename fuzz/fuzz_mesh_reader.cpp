// A mesh file → checked soup (with or without repair) → surface → geometry
// and rings. Built once per format, with the file name that selects the
// reader (VORNEL_FUZZ_MESH_FILE: input.obj, input.off, input.ply or input.stl). The first
// byte's low bit chooses --repair; the rest is the file.

#include "FuzzSupport.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1)
    return 0;
  const std::string path =
      vornel::fuzzing::writeScratchFile(VORNEL_FUZZ_MESH_FILE, data + 1, size - 1);
  vornel::fuzzing::readBuildAndWalk(path, (data[0] & 1) != 0);
  return 0;
}
