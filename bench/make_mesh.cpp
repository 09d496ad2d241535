// vornel_make_mesh: writes a large test mesh (OBJ, OFF, binary PLY or binary STL) with its
// attribute file and the true region of every vertex (for STL in the order the reader numbers
// them).
//
//   vornel_make_mesh --shape grid|sphere --vertices N --out PATH.obj|.off|.ply|.stl
//                    [--classes K] [--noise SIGMA] [--seed S]

#include "MeshGenerator.hpp"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace vornel::generator;

const char* const usage =
    "usage: vornel_make_mesh --shape grid|sphere --vertices N --out PATH.obj|.off|.ply|.stl\n"
    "                        [--classes K] [--noise SIGMA] [--seed S]\n"
    "Writes the mesh, PATH-base_attribute.att (region c has mean c plus Gaussian noise,\n"
    "default SIGMA 0.25, K 3, S 1) and PATH-base_truth.lb (the region of every vertex).\n";

struct Options {
  std::string shape;
  std::size_t vertices = 0;
  std::string out;
  int classes = 3;
  double noise = 0.25;
  std::uint32_t seed = 1;
};

std::string lowerEnding(const std::string& path) {
  std::string ending = path.size() < 4 ? path : path.substr(path.size() - 4);
  for (char& c : ending) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return ending;
}

double toNumber(const std::string& option, const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0') {
    throw std::invalid_argument(option + " needs a number, not '" + text + "'");
  }
  return value;
}

void setOption(Options& options, const std::string& option, const std::string& value) {
  if (option == "--shape") {
    options.shape = value;
  } else if (option == "--vertices") {
    options.vertices = static_cast<std::size_t>(toNumber(option, value));
  } else if (option == "--out") {
    options.out = value;
  } else if (option == "--classes") {
    options.classes = static_cast<int>(toNumber(option, value));
  } else if (option == "--noise") {
    options.noise = toNumber(option, value);
  } else if (option == "--seed") {
    options.seed = static_cast<std::uint32_t>(toNumber(option, value));
  } else {
    throw std::invalid_argument("unknown option " + option);
  }
}

Options parseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t k = 0; k < args.size(); k += 2) {
    if (k + 1 == args.size()) {
      throw std::invalid_argument(args[k] + " needs a value");
    }
    setOption(options, args[k], args[k + 1]);
  }
  if (options.shape != "grid" && options.shape != "sphere") {
    throw std::invalid_argument("--shape must be grid or sphere");
  }
  if (options.vertices < 3) {
    throw std::invalid_argument("--vertices must be at least 3");
  }
  const std::string ending = lowerEnding(options.out);
  if (ending != ".obj" && ending != ".off" && ending != ".ply" && ending != ".stl") {
    throw std::invalid_argument("--out must name a .obj, .off, .ply or .stl file");
  }
  if (options.classes < 1 || options.classes > 256 || options.noise < 0.0) {
    throw std::invalid_argument("--classes must be 1 to 256 and --noise not negative");
  }
  return options;
}

void generate(const Options& options) {
  const GeneratedMesh mesh = options.shape == "grid"
                                 ? makeGrid(options.vertices, options.classes)
                                 : makeIcosphere(options.vertices, options.classes);
  const std::string ending = lowerEnding(options.out);
  std::vector<int> regions = mesh.regions;
  if (ending == ".obj") {
    writeObj(mesh, options.out);
  } else if (ending == ".ply") {
    writeBinaryPly(mesh, options.out);
  } else if (ending == ".stl") {
    writeBinaryStl(mesh, options.out);
    // The reader numbers STL vertices by first appearance: so do the attribute and truth files.
    const std::vector<std::uint32_t> order = firstAppearanceOrder(mesh);
    regions.resize(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
      regions[k] = mesh.regions[order[k]];
    }
  } else {
    writeOff(mesh, options.out);
  }
  const std::string base = basePath(options.out);
  writeAttributes(regions, options.noise, options.seed, base + "_attribute.att");
  writeTruth(regions, options.classes, base + "_truth.lb");
  std::printf("%s: %zu vertices, %zu triangles, %d regions\n", options.out.c_str(),
              mesh.points.size(), mesh.triangles.size(), options.classes);
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    generate(parseOptions(args));
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "vornel_make_mesh: %s\n%s", error.what(), usage);
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vornel_make_mesh: %s\n", error.what());
    return 1;
  }
  return 0;
}
