#pragma once
// The attribute file: one number per vertex in vertex order, in the syntax of
// the C library's "%f" conversion, separated by any white space (after a UTF-8
// byte order mark, if any). Each number is rounded to float, as the vertices
// store it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vornel {

class LabeledMesh;

struct AttributeValues {
  std::vector<float> values; // exactly the count asked for
  /// Words after the last value needed: counted, never converted, so a
  /// trailing word cannot fail a run. At most a bounded tail of the file is
  /// looked at; when more follows, extra is a lower bound.
  std::size_t extra = 0;
  bool extraIsLowerBound = false;
};

/// Reads the first count values of the attribute file at path (a regular file;
/// see MappedFile). Throws IOError when it cannot be read, InvalidInputError
/// naming "path:line" and the value for a word that is not a finite number,
/// or naming both counts when the file holds fewer than count values.
AttributeValues readAttributeFile(const std::string& path, std::size_t count);

/// Text per chunk when several threads convert an attribute file: a few
/// milliseconds of work, so that many chunks balance the threads.
constexpr std::size_t attributeChunkBytes = std::size_t{1} << 20;

/// readAttributeFile's work on the file's text (without its byte order mark):
/// on several threads in chunks of about chunkBytes, with the same values,
/// count of extra words and errors as on one.
AttributeValues parseAttributeText(std::string_view text, const std::string& path,
                                   std::size_t count, std::size_t chunkBytes = attributeChunkBytes);

/// The warning for a file with values beyond the vertex count.
std::string describeExtraValues(const std::string& path, const AttributeValues& values);

/// Reads one value per vertex of mesh into its vertices and its attribute
/// range; returns how many values the file holds beyond the vertex count (0
/// when it holds exactly one per vertex).
std::size_t readMeshAttributes(LabeledMesh& mesh, const std::string& path);

} // namespace vornel
