#include "mesh/io/SoupInput.hpp"

#include "mesh/Errors.hpp"
#include "mesh/io/MeshFormat.hpp"
#include "mesh/io/ObjParser.hpp"
#include "mesh/io/PlyReader.hpp"

#include <CGAL/IO/OFF.h>
#include <CGAL/IO/OFF/File_header_OFF.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <vector>

namespace vornel {
namespace {

// The shortest text a vertex ("0 0 0" and a separator) and a facet
// ("3 0 1 2" and a separator) can take.
constexpr std::uintmax_t minimumVertexBytes = 6;
constexpr std::uintmax_t minimumFacetBytes = 8;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::uintmax_t fileSizeOf(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error); // fails on a folder
  if (error) {
    throw IOError("cannot read " + path);
  }
  return size;
}

std::string readWholeFile(const std::string& path) {
  const std::uintmax_t size = fileSizeOf(path);
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    throw IOError("cannot read " + path);
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  if (std::fread(text.data(), 1, text.size(), file.get()) != text.size()) {
    throw IOError("cannot read " + path);
  }
  return text;
}

/// The soup reader sizes its arrays from the header: refuse counts the file
/// cannot hold before it does.
void checkOffHeader(const std::string& path) {
  const std::uintmax_t fileBytes = fileSizeOf(path);
  std::ifstream in(path);
  CGAL::File_header_OFF header(false);
  in >> header;
  if (!in) {
    throw InvalidInputError(path + ": not an OFF file (no valid OFF header)");
  }
  const std::uintmax_t vertices = header.size_of_vertices();
  const std::uintmax_t facets = header.size_of_facets();
  if (vertices > fileBytes / minimumVertexBytes || facets > fileBytes / minimumFacetBytes ||
      vertices * minimumVertexBytes + facets * minimumFacetBytes > fileBytes ||
      vertices > std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError(path + ": the OFF header announces " + std::to_string(vertices) +
                            " vertices and " + std::to_string(facets) +
                            " facets, more than the file's " + std::to_string(fileBytes) +
                            " bytes can hold");
  }
}

/// Keeps only the points some facet uses, in their order, and renumbers corners.
void dropUnusedPoints(PolygonSoup& soup) {
  constexpr std::uint32_t unused = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> newIndex(soup.points.size(), unused);
  for (const std::uint32_t corner : soup.corners) {
    newIndex[corner] = 0;
  }
  std::uint32_t next = 0;
  for (std::size_t p = 0; p < soup.points.size(); ++p) {
    if (newIndex[p] != unused) {
      newIndex[p] = next;
      soup.points[next++] = soup.points[p];
    }
  }
  soup.points.resize(next);
  for (std::uint32_t& corner : soup.corners) {
    corner = newIndex[corner];
  }
}

} // namespace

PolygonSoup readOffSoup(const std::string& path) {
  checkOffHeader(path);
  std::vector<Point3> points;
  std::vector<std::vector<std::size_t>> polygons;
  if (!CGAL::IO::read_OFF(path, points, polygons)) {
    throw InvalidInputError(path + ": not a valid OFF mesh: the data are truncated or "
                                   "malformed, or a facet corner is out of range");
  }
  PolygonSoup soup;
  soup.points = std::move(points);
  for (const std::vector<std::size_t>& polygon : polygons) {
    if (polygon.size() < 3) {
      throw InvalidInputError(path + ": facet " + std::to_string(soup.facetCount() + 1) +
                              " has fewer than three corners");
    }
    if (soup.corners.size() + polygon.size() > std::numeric_limits<std::uint32_t>::max()) {
      throw InvalidInputError(path + ": too many facet corners");
    }
    soup.corners.insert(soup.corners.end(), polygon.begin(), polygon.end());
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
  }
  dropUnusedPoints(soup);
  if (soup.points.empty()) {
    throw InvalidInputError(path + ": the OFF mesh is empty: no vertex belongs to a facet");
  }
  return soup;
}

PolygonSoup readSoupFile(const std::string& path) {
  switch (meshFormatOf(path)) {
  case MeshFormat::Ply:
    return readPlySoup(path);
  case MeshFormat::Obj:
    return parseObj(readWholeFile(path), path);
  case MeshFormat::Off:
    break;
  }
  return readOffSoup(path);
}

} // namespace vornel
