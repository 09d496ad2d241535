// The OBJ reader: the whole file is read into memory, parsed into a polygon
// soup, and the text is released before the surface is built, so that the text
// and the built surface never occupy memory together.

#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/ObjParser.hpp"
#include "mesh/PolygonSoup.hpp"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace vornel {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::string readWholeFile(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error); // fails on a folder
  const FileHandle file(error ? nullptr : std::fopen(path.c_str(), "rb"));
  if (!file) {
    throw IOError("cannot read " + path);
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  if (std::fread(text.data(), 1, text.size(), file.get()) != text.size()) {
    throw IOError("cannot read " + path);
  }
  return text;
}

PolygonSoup parseObjFile(const std::string& path) {
  const std::string text = readWholeFile(path);
  return parseObj(text, path);
}

// The soup's arrays grew by doubling while parsing; trim them to their size so
// that their slack does not add to the peak memory of the build.
void trim(PolygonSoup& soup) {
  soup.points.shrink_to_fit();
  soup.facetOffsets.shrink_to_fit();
  soup.corners.shrink_to_fit();
  soup.facetLines.shrink_to_fit();
}

} // namespace

void readObjFile(const std::string& path, LabeledMesh& mesh) {
  PolygonSoup soup = parseObjFile(path); // the text is gone once this returns
  trim(soup);
  buildSurface(soup, mesh, path);
}

} // namespace vornel
