// The OFF input: CGAL's OFF scanner builds the surface. Before it runs, the
// header's counts are checked against the file size, because the scanner
// reserves memory for the counts the header announces, and the text records
// are checked for the numbers the scanner would convert out of range.

#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/OffSurfaceScan.hpp"
#include "mesh/io/OffTextCheck.hpp"
#include "mesh/SurfaceCheck.hpp"

#include <CGAL/IO/OFF/File_header_OFF.h>
#include <CGAL/exceptions.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace vornel {
namespace {

// The shortest text a vertex ("0 0 0" and a separator) and a facet
// ("3 0 1 2" and a separator) can take; binary records are longer still.
constexpr std::uintmax_t minimumVertexBytes = 6;
constexpr std::uintmax_t minimumFacetBytes = 8;

std::uintmax_t fileSizeOf(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    throw IOError("cannot read " + path);
  }
  return size;
}

bool countsFit(std::uintmax_t vertices, std::uintmax_t facets, std::uintmax_t fileBytes) {
  if (vertices > fileBytes / minimumVertexBytes || facets > fileBytes / minimumFacetBytes) {
    return false; // also keeps the sum below from overflowing
  }
  return vertices * minimumVertexBytes + facets * minimumFacetBytes <= fileBytes;
}

// The halfedge count the builder reserves for, estimated from the vertex and
// facet counts as CGAL's header reader estimates it when the header gives none
// (counts that fit in the file cannot overflow here).
std::size_t halfedgeEstimate(const CGAL::File_header_OFF& header) {
  const std::uintmax_t counts = header.size_of_vertices() + header.size_of_facets() + 10;
  return static_cast<std::size_t>(counts * 21 / 10);
}

// Reads the header with CGAL's own header scanner (same keywords and comment
// rules as the full scan) and rejects a file that is not OFF, whose counts
// cannot fit in it, or whose text would make the scanner misbehave. The
// header reader computes its halfedge estimate in int arithmetic, which
// overflows for large counts, unless the header already holds one: so one is
// set first, and the safe estimate replaces it afterwards. The stream is left
// right after the header.
CGAL::File_header_OFF checkHeader(std::ifstream& in, const std::string& path,
                                  std::uintmax_t fileBytes) {
  CGAL::File_header_OFF header(false);
  header.set_halfedges(1);
  in >> header;
  if (!in) {
    throw InvalidInputError(path + ": not an OFF file (no valid OFF header)");
  }
  if (!countsFit(header.size_of_vertices(), header.size_of_facets(), fileBytes)) {
    throw InvalidInputError(path + ": the OFF header announces " +
                            std::to_string(header.size_of_vertices()) + " vertices and " +
                            std::to_string(header.size_of_facets()) +
                            " facets, more than the file's " + std::to_string(fileBytes) +
                            " bytes can hold");
  }
  header.set_halfedges(halfedgeEstimate(header));
  const std::streampos body = in.tellg();
  checkOffText(in, header, path);
  in.clear();
  in.seekg(body);
  return header;
}

// Runs the scanner; returns false when it reports an error.
bool scanSurface(std::ifstream& in, const CGAL::File_header_OFF& header, LabeledMesh& mesh,
                 const std::string& path) {
  try {
    scanOffSurface(in, header, mesh, path);
  } catch (const CGAL::Failure_exception&) {
    return false; // a library check on the half-built surface (checking builds only)
  }
  return static_cast<bool>(in);
}

std::string scanFailure(const std::ifstream& in, const std::string& path) {
  // The scanner leaves only the fail bit for a corner index out of range and
  // sets the bad bit for every other error.
  if (in.fail() && !in.bad()) {
    return path + ": not a valid OFF mesh: a facet corner is out of range or not a number";
  }
  return path + ": not a valid OFF mesh: the data are truncated or malformed, or a facet has "
                "fewer than three corners or cannot be joined to the others (non-manifold "
                "or inconsistently oriented)";
}

} // namespace

void readOffFile(const std::string& path, LabeledMesh& mesh) {
  const std::uintmax_t fileBytes = fileSizeOf(path); // fails on a folder
  std::ifstream in(path);
  if (!in) {
    throw IOError("cannot read " + path);
  }
  const CGAL::File_header_OFF header = checkHeader(in, path, fileBytes);
  if (!scanSurface(in, header, mesh, path)) {
    mesh.surface.clear(); // the scanner can stop without undoing its partial build
    throw InvalidInputError(scanFailure(in, path));
  }
  try {
    checkVertexRings(mesh.surface, path);
  } catch (const InvalidInputError&) {
    mesh.surface.clear();
    throw;
  }
  if (mesh.surface.size_of_vertices() == 0) {
    throw InvalidInputError(path + ": the OFF mesh is empty: no vertex belongs to a facet");
  }
}

} // namespace vornel
