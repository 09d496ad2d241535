#pragma once
// Writing the segmented mesh with one ramp colour per vertex, as binary PLY
// (with the label, the attribute value, with several features each of them,
// and the segment on every vertex) or as COFF.

#include "mesh/LabeledMesh.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// The mesh as written: one entry per vertex and the facets as vertex indices.
struct ColouredMesh {
  std::vector<Point3> positions;
  std::vector<std::int32_t> labels;
  std::vector<float> values; // the attribute value (the first feature), written as PLY "quality"
  /// With several features: one name each (its source), and every vertex's
  /// features one after the other; each is written as a PLY float property
  /// after "quality". Empty with one feature, whose file stays as it was.
  std::vector<std::string> featureNames;
  std::vector<float> featureValues;
  /// The connected segment of each vertex, written as PLY "segment" when filled.
  std::vector<std::int32_t> segments;
  std::vector<std::uint32_t> facetOffsets{0};
  std::vector<std::uint32_t> corners;
  std::int32_t classCount = 1;

  std::size_t facetCount() const { return facetOffsets.size() - 1; }
};

enum class ColouredMeshFormat { Ply, Off };

/// ".ply" (any letter case) selects PLY, everything else COFF.
ColouredMeshFormat colouredMeshFormatOf(const std::string& path);

/// The colour of class label of classCount: ramp row round(label * 255 / (K - 1)),
/// row 0 when K = 1; each component rounded to 0 .. 255.
std::array<std::uint8_t, 3> classColour(std::int32_t label, std::int32_t classCount);

/// The first positions.size() vertices of mesh (the original vertices, whose
/// labels and attributes they carry) and every facet of its surface, each
/// corner replaced by originalOf[corner] (no replacement when originalOf is empty).
ColouredMesh colouredMeshOf(const LabeledMesh& mesh, std::vector<Point3> positions,
                            const std::vector<std::uint32_t>& originalOf);

/// The PLY property names of features named after their sources: every
/// character but letters, digits and '_' becomes '_', a name that starts with
/// a digit or is empty gets "feature_" in front, and a name already taken (by
/// an earlier feature or the vertex's own properties) gets "_2", "_3", ...
std::vector<std::string> featurePropertyNames(const std::vector<std::string>& sources);

/// The file's bytes; every facet is written, whatever its corner count.
std::string colouredMeshBytes(const ColouredMesh& mesh, ColouredMeshFormat format);

} // namespace vornel
