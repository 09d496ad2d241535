// The whole run on a tiny mesh. Input layout: three bytes for ClustNb (1..4),
// MedianNb (0..3) and IterNB (0..5), one byte whose low two bits pick OBJ, OFF
// or PLY and whose third bit asks for --repair, then the mesh bytes and the
// attribute text separated by the first '#' '#' pair.

#include "FuzzSupport.hpp"
#include "core/Errors.hpp"
#include "pipeline/FileRun.hpp"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4)
    return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);
  const std::size_t split = rest.find("##");
  const std::string_view meshText = rest.substr(0, split);
  const std::string_view values =
      split == std::string_view::npos ? std::string_view() : rest.substr(split + 2);

  static const char* const names[] = {"m.obj", "m.off", "m.ply", "m.obj"};
  const auto* meshBytes = reinterpret_cast<const std::uint8_t*>(meshText.data());
  const std::string mesh =
      vornel::fuzzing::writeScratchFile(names[data[3] & 3], meshBytes, meshText.size());
  vornel::fuzzing::writeScratchFile(
      "m_attribute.att", reinterpret_cast<const std::uint8_t*>(values.data()), values.size());
  vornel::RunOptions options;
  options.meshPath = mesh;
  options.segmentation.classCount = 1 + data[0] % 4;
  options.segmentation.filterPasses = data[1] % 4;
  options.segmentation.sweepCount = data[2] % 6;
  options.segmentation.seed = 1;
  options.repair = (data[3] & 4) != 0;
  try {
    vornel::runOnFiles(options, [](const std::string&) {});
  } catch (const vornel::VornelError&) {
  }
  return 0;
}
