// PLY: binary little endian, vertices with x y z (float), red green blue
// (uchar), label (int), quality (float), with several features one float per
// feature, and, when known, segment (int), then
// faces as int lists counted by the smallest type that holds the largest facet
// (uchar for every mesh of at most 255 corners per facet, so that the common
// file stays as it was). COFF: "COFF", the counts, then x y z r g b a per
// vertex (positions in the shortest text that reads back to the same float)
// and the facets.

#include "mesh/io/ColouredMeshWriter.hpp"

#include "mesh/io/MeshFormat.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace vornel {
namespace {

void appendLittleEndian(std::string& bytes, std::uint32_t value, std::size_t size = 4) {
  for (std::size_t k = 0; k < size; ++k) {
    bytes.push_back(static_cast<char>((value >> (8 * k)) & 0xFFu));
  }
}

void appendFloat(std::string& bytes, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  appendLittleEndian(bytes, bits);
}

void appendInt(std::string& bytes, std::int32_t value) {
  appendLittleEndian(bytes, static_cast<std::uint32_t>(value));
}

template <class Number> void appendText(std::string& text, Number value, char separator) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, result.ptr);
  text.push_back(separator);
}

bool hasSegments(const ColouredMesh& mesh) {
  return !mesh.segments.empty();
}

/// The PLY type of a facet's corner count and its size in bytes.
struct CountType {
  const char* name;
  std::size_t size;
};

CountType facetCountType(const ColouredMesh& mesh) {
  std::uint32_t largest = 0;
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    largest = std::max(largest, mesh.facetOffsets[f + 1] - mesh.facetOffsets[f]);
  }
  if (largest <= 0xFFu) {
    return {"uchar", 1};
  }
  return largest <= 0xFFFFu ? CountType{"ushort", 2} : CountType{"uint", 4};
}

std::string featureProperties(const ColouredMesh& mesh) {
  std::string text;
  for (const std::string& name : featurePropertyNames(mesh.featureNames))
    text += "property float " + name + "\n";
  return text;
}

std::string plyHeader(const ColouredMesh& mesh, const CountType& countType) {
  return "ply\nformat binary_little_endian 1.0\nelement vertex " +
         std::to_string(mesh.positions.size()) +
         "\nproperty float x\nproperty float y\nproperty float z\n"
         "property uchar red\nproperty uchar green\nproperty uchar blue\n"
         "property int label\nproperty float quality\n" +
         featureProperties(mesh) + (hasSegments(mesh) ? "property int segment\n" : "") +
         "element face " + std::to_string(mesh.facetCount()) + "\nproperty list " + countType.name +
         " int vertex_indices\nend_header\n";
}

std::string plyBytes(const ColouredMesh& mesh) {
  const CountType countType = facetCountType(mesh);
  std::string bytes = plyHeader(mesh, countType);
  const bool segments = hasSegments(mesh);
  const std::size_t features = mesh.featureNames.size();
  bytes.reserve(bytes.size() + mesh.positions.size() * ((segments ? 27 : 23) + 4 * features) +
                mesh.corners.size() * 4 + mesh.facetCount() * countType.size);
  for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
    const Point3& p = mesh.positions[v];
    appendFloat(bytes, p.x());
    appendFloat(bytes, p.y());
    appendFloat(bytes, p.z());
    for (const std::uint8_t component : classColour(mesh.labels[v], mesh.classCount)) {
      bytes.push_back(static_cast<char>(component));
    }
    appendInt(bytes, mesh.labels[v]);
    appendFloat(bytes, mesh.values[v]);
    for (std::size_t i = 0; i < features; ++i)
      appendFloat(bytes, mesh.featureValues[v * features + i]);
    if (segments)
      appendInt(bytes, mesh.segments[v]);
  }
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    const std::uint32_t size = mesh.facetOffsets[f + 1] - mesh.facetOffsets[f];
    appendLittleEndian(bytes, size, countType.size);
    for (std::uint32_t k = mesh.facetOffsets[f]; k < mesh.facetOffsets[f + 1]; ++k) {
      appendInt(bytes, static_cast<std::int32_t>(mesh.corners[k]));
    }
  }
  return bytes;
}

std::string offText(const ColouredMesh& mesh) {
  std::string text = "COFF\n" + std::to_string(mesh.positions.size()) + " " +
                     std::to_string(mesh.facetCount()) + " 0\n";
  for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
    const Point3& p = mesh.positions[v];
    appendText(text, p.x(), ' ');
    appendText(text, p.y(), ' ');
    appendText(text, p.z(), ' ');
    for (const std::uint8_t component : classColour(mesh.labels[v], mesh.classCount)) {
      appendText(text, static_cast<int>(component), ' ');
    }
    text.append("255\n");
  }
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    appendText(text, mesh.facetOffsets[f + 1] - mesh.facetOffsets[f], ' ');
    for (std::uint32_t k = mesh.facetOffsets[f]; k < mesh.facetOffsets[f + 1]; ++k) {
      appendText(text, mesh.corners[k], k + 1 == mesh.facetOffsets[f + 1] ? '\n' : ' ');
    }
  }
  return text;
}

} // namespace

std::vector<std::string> featurePropertyNames(const std::vector<std::string>& sources) {
  std::vector<std::string> taken{"x",    "y",     "z",       "red",    "green",
                                 "blue", "label", "quality", "segment"};
  std::vector<std::string> names;
  for (const std::string& source : sources) {
    std::string name = source;
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
        c = '_';
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
      name = "feature_" + name;
    std::string unique = name;
    for (int k = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++k)
      unique = name + "_" + std::to_string(k);
    taken.push_back(unique);
    names.push_back(unique);
  }
  return names;
}

ColouredMeshFormat colouredMeshFormatOf(const std::string& path) {
  return endsWithIgnoringCase(path, ".ply") ? ColouredMeshFormat::Ply : ColouredMeshFormat::Off;
}

std::array<std::uint8_t, 3> classColour(std::int32_t label, std::int32_t classCount) {
  long row = 0;
  if (classCount > 1) {
    row = std::lround(static_cast<double>(label) * 255.0 / static_cast<double>(classCount - 1));
  }
  const RgbColour& colour = rampPalette()[static_cast<std::size_t>(std::clamp(row, 0L, 255L))];
  std::array<std::uint8_t, 3> result{};
  for (std::size_t i = 0; i < 3; ++i) {
    result[i] = static_cast<std::uint8_t>(std::clamp(std::lround(colour[i] * 255.0), 0L, 255L));
  }
  return result;
}

ColouredMesh colouredMeshOf(const LabeledMesh& mesh, std::vector<Point3> positions,
                            const std::vector<std::uint32_t>& originalOf) {
  ColouredMesh result;
  result.classCount = mesh.classCount;
  result.positions = std::move(positions);
  const std::size_t count = result.positions.size();
  result.labels.reserve(count);
  result.values.reserve(count);
  for (auto v = mesh.surface.vertices_begin();
       v != mesh.surface.vertices_end() && result.labels.size() < count; ++v) {
    result.labels.push_back(v->label);
    result.values.push_back(static_cast<float>(v->attribute));
  }
  result.corners.reserve(mesh.surface.size_of_halfedges() / 2);
  for (auto f = mesh.surface.facets_begin(); f != mesh.surface.facets_end(); ++f) {
    auto h = f->facet_begin();
    do {
      const std::uint32_t built = vertexIndex(mesh.surface, *h->vertex());
      result.corners.push_back(originalOf.empty() ? built : originalOf[built]);
    } while (++h != f->facet_begin());
    result.facetOffsets.push_back(static_cast<std::uint32_t>(result.corners.size()));
  }
  return result;
}

std::string colouredMeshBytes(const ColouredMesh& mesh, ColouredMeshFormat format) {
  return format == ColouredMeshFormat::Ply ? plyBytes(mesh) : offText(mesh);
}

} // namespace vornel
