#pragma once
// Reading a mesh file: one path for every format and every mode. The format's
// reader fills a polygon soup with every count, index and number checked; one
// validation follows; with repair, the repair step mends what the validation
// refused; the caller then builds the surface once (buildValidatedSurface).

#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SoupTopology.hpp"
#include "mesh/io/PointWelder.hpp"
#include "mesh/repair/MeshRepair.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vornel {

struct ReadOptions {
  bool repair = false; // mend a mesh the surface cannot hold instead of refusing it
  /// A scalar vertex property of a PLY mesh to read as every vertex's value.
  std::string vertexProperty;
};

/// A soup the halfedge surface can hold, and how its vertices relate to the
/// file's.
struct CheckedSoup {
  PolygonSoup soup;
  /// The input's vertices, first in the soup and in file order: all of them
  /// for OBJ and PLY, those that some facet uses for OFF, the welded corners
  /// in order of first appearance for STL.
  std::size_t originalCount = 0;
  /// For every soup vertex, the input vertex it copies; empty unless repaired.
  std::vector<std::uint32_t> originalOf;
  /// What the repair changed, when the soup needed it.
  std::optional<RepairSummary> repair;
  /// The soup's topology, for buildValidatedSurface.
  SoupTopology topology;
  /// options.vertexProperty's value per input vertex, when it was asked for.
  std::vector<float> vertexValues;
  /// How the corners of an STL file were welded into vertices.
  std::optional<CornerWeld> weld;
};

/// The format's reader alone, chosen by meshFormatOf: every vertex of the file
/// in file order (OFF's unused vertices included). Throws IOError or
/// InvalidInputError naming the file.
PolygonSoup readSoupFile(const std::string& path);

/// The whole reading before the build: the format's reader, the validation,
/// for OFF the dropping of vertices that no facet uses, and with
/// options.repair the repair of a soup the validation refused. Without repair,
/// a refused soup throws InvalidInputError (NonManifoldError, with a hint at
/// --repair, for an edge or vertex the surface cannot hold) naming the file
/// and the facet's line or number; an STL facet whose corners were welded
/// together is refused with a hint at --repair too. A vertex property asked of a file that is
/// not PLY, or that the file does not have as a scalar, throws
/// VertexPropertyError.
CheckedSoup readCheckedSoup(const std::string& path, const ReadOptions& options = {});

/// The same steps for a soup from elsewhere (a caller's arrays); no vertex is
/// dropped.
CheckedSoup checkSoup(PolygonSoup soup, const std::string& sourceName,
                      const ReadOptions& options = {});

/// Builds the surface of a checked soup into the empty surface of mesh
/// (buildValidatedSurface).
void buildCheckedSoup(CheckedSoup&& checked, LabeledMesh& mesh);

/// Keeps only the points some facet uses, in their order, and renumbers the
/// corners and the topology's vertices.
void dropUnusedPoints(PolygonSoup& soup, SoupTopology& topology);

} // namespace vornel
