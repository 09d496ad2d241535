// Reading the attribute file. The file is mapped and read only as far as the
// values needed plus a bounded tail, so that a huge or endless file cannot
// hold a run up.

#include "mesh/io/AttributeFile.hpp"

#include "core/Errors.hpp"
#include "core/PrintableText.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/io/FloatWord.hpp"
#include "mesh/io/LineWords.hpp"
#include "mesh/io/MappedFile.hpp"
#include "mesh/io/TextChunks.hpp"
#include "mesh/io/TextLines.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace vornel {
namespace {

// Words after the values needed are counted in at most this many bytes.
constexpr std::size_t tailBytes = std::size_t{1} << 20;

InvalidInputError valueError(const std::string& path, std::uint64_t line, std::size_t number,
                             std::string_view token, FloatWordStatus status) {
  return InvalidInputError(
      path + ":" + std::to_string(line) + ": value " + std::to_string(number) + " " +
      quotedWord(token) +
      (status == FloatWordStatus::NotFinite ? " is not a finite number" : " is not a number"));
}

InvalidInputError tooFewValues(const std::string& path, std::size_t held, std::size_t wanted) {
  return InvalidInputError(path + " holds " + std::to_string(held) + " values; the mesh has " +
                           std::to_string(wanted) + " vertices");
}

/// Counts the words in a bounded tail of text from position, the values
/// after the last one needed.
void countTailWords(std::string_view text, std::size_t position, AttributeValues& result) {
  const std::size_t limit = position + std::min(tailBytes, text.size() - position);
  bool inWord = false;
  for (; position < limit; ++position) {
    const bool space = isWordSpace(text[position]);
    result.extra += (!space && !inWord) ? 1 : 0;
    inWord = !space;
  }
  result.extraIsLowerBound = position < text.size();
}

class AttributeParser {
public:
  AttributeParser(std::string_view text, const std::string& path) : text_(text), path_(path) {}

  AttributeValues run(std::size_t wanted) {
    AttributeValues result;
    // Each value but the last takes at least two bytes: a short file must not
    // reserve room for a huge count it cannot hold.
    result.values.reserve(std::min(wanted, text_.size() / 2 + 1));
    while (result.values.size() < wanted) {
      const std::string_view token = nextToken();
      if (token.empty()) {
        throw tooFewValues(path_, result.values.size(), wanted);
      }
      result.values.push_back(convert(token, result.values.size() + 1));
    }
    countTail(result);
    return result;
  }

private:
  /// The next word, or an empty view at the end; counts the lines passed.
  std::string_view nextToken() {
    while (position_ < text_.size() && isWordSpace(text_[position_])) {
      line_ += endsLine(text_, position_) ? 1 : 0;
      ++position_;
    }
    const std::size_t first = position_;
    while (position_ < text_.size() && !isWordSpace(text_[position_])) {
      ++position_;
    }
    return text_.substr(first, position_ - first);
  }

  float convert(std::string_view token, std::size_t number) const {
    float value = 0.0f;
    const FloatWordStatus status = readFloatWord(token, value);
    if (status != FloatWordStatus::Number) {
      throw valueError(path_, line_, number, token, status);
    }
    return value;
  }

  void countTail(AttributeValues& result) { countTailWords(text_, position_, result); }

  std::string_view text_;
  const std::string& path_;
  std::size_t position_ = 0;
  std::uint64_t line_ = 1;
};

/// The words of one chunk of text converted, up to the first that is not a
/// finite number.
struct ChunkValues {
  std::vector<float> values;
  std::string_view failed; // the word that failed, if one did
  FloatWordStatus status = FloatWordStatus::Number;
};

/// The parser on several threads: the text is cut into chunks at white space
/// (so no word spans two), a window of chunks is converted in parallel, and
/// the chunks are joined in file order until enough values are in. Values,
/// errors and the tail count are those of AttributeParser, which stays the
/// one-thread reader; no more than a window is read past the values needed.
class ChunkedAttributeParser {
public:
  ChunkedAttributeParser(std::string_view text, const std::string& path, std::size_t chunkBytes)
      : text_(text), path_(path), chunkBytes_(std::max<std::size_t>(chunkBytes, 1)) {}

  AttributeValues run(std::size_t wanted) {
    AttributeValues result;
    result.values.reserve(std::min(wanted, text_.size() / 2 + 1));
    const std::size_t windowChunks = 4 * static_cast<std::size_t>(arenaThreads());
    std::size_t position = 0;
    while (result.values.size() < wanted) {
      if (position == text_.size()) {
        throw tooFewValues(path_, result.values.size(), wanted);
      }
      const std::vector<std::size_t> bounds = chunkBounds(position, windowChunks);
      std::vector<ChunkValues> chunks(bounds.size() - 1);
      forEachChunk(chunks.size(),
                   [&](std::size_t c) { chunks[c] = convertChunk(chunkText(text_, bounds, c)); });
      for (std::size_t c = 0; c < chunks.size() && result.values.size() < wanted; ++c) {
        take(chunks[c], bounds[c], wanted, result);
      }
      position = bounds.back();
    }
    countTailWords(text_, tailStart_, result);
    return result;
  }

private:
  /// Up to `count` chunks from position: each ends at the first white space
  /// at or after chunkBytes from its start (or at the end of the text).
  std::vector<std::size_t> chunkBounds(std::size_t position, std::size_t count) const {
    std::vector<std::size_t> bounds{position};
    while (bounds.size() <= count && bounds.back() < text_.size()) {
      std::size_t end = std::min(text_.size(), bounds.back() + chunkBytes_);
      while (end < text_.size() && !isWordSpace(text_[end])) {
        ++end;
      }
      bounds.push_back(end);
    }
    return bounds;
  }

  static ChunkValues convertChunk(std::string_view chunk) {
    ChunkValues converted;
    LineWords words(chunk);
    std::string_view word;
    while (words.next(word)) {
      float value = 0.0f;
      converted.status = readFloatWord(word, value);
      if (converted.status != FloatWordStatus::Number) {
        converted.failed = word;
        break;
      }
      converted.values.push_back(value);
    }
    return converted;
  }

  /// Joins one chunk's values (the chunk starts at `start`) to the result, as
  /// far as they are needed.
  void take(const ChunkValues& chunk, std::size_t start, std::size_t wanted,
            AttributeValues& result) {
    const std::size_t needed = wanted - result.values.size();
    if (!chunk.failed.empty() && chunk.values.size() < needed) {
      const std::size_t at = static_cast<std::size_t>(chunk.failed.data() - text_.data());
      throw valueError(path_, 1 + lineEndsBefore(at),
                       result.values.size() + chunk.values.size() + 1, chunk.failed, chunk.status);
    }
    const std::size_t taken = std::min(needed, chunk.values.size());
    result.values.insert(result.values.end(), chunk.values.begin(),
                         chunk.values.begin() + static_cast<std::ptrdiff_t>(taken));
    if (taken == needed) {
      tailStart_ = endOfWord(start, taken);
    }
  }

  /// Where the count-th word from start ends (count >= 1).
  std::size_t endOfWord(std::size_t start, std::size_t count) const {
    LineWords words(text_.substr(start));
    std::string_view word;
    for (std::size_t read = 0; read < count; ++read) {
      words.next(word);
    }
    return static_cast<std::size_t>(word.data() + word.size() - text_.data());
  }

  /// Only for a message: a scan from the start of the text.
  std::uint64_t lineEndsBefore(std::size_t position) const {
    std::uint64_t lines = 0;
    for (std::size_t i = 0; i < position; ++i) {
      lines += endsLine(text_, i) ? 1 : 0;
    }
    return lines;
  }

  std::string_view text_;
  const std::string& path_;
  std::size_t chunkBytes_;
  std::size_t tailStart_ = 0;
};

} // namespace

AttributeValues parseAttributeText(std::string_view text, const std::string& path,
                                   std::size_t count, std::size_t chunkBytes) {
  if (!severalThreads()) {
    return AttributeParser(text, path).run(count);
  }
  return ChunkedAttributeParser(text, path, chunkBytes).run(count);
}

AttributeValues readAttributeFile(const std::string& path, std::size_t count) {
  const MappedFile file(path, "attribute file", false);
  return parseAttributeText(withoutByteOrderMark(file.text()), path, count);
}

std::string describeExtraValues(const std::string& path, const AttributeValues& values) {
  return path + " holds " + (values.extraIsLowerBound ? "at least " : "") +
         std::to_string(values.extra) + " more values than the mesh has vertices; they are ignored";
}

std::size_t readMeshAttributes(LabeledMesh& mesh, const std::string& path) {
  const std::size_t vertices = mesh.vertexCount();
  if (vertices == 0) {
    throw InvalidInputError("cannot read attribute file " + path + ": the mesh has no vertices");
  }
  const AttributeValues parsed = readAttributeFile(path, vertices);
  mesh.attributeMin = 1000.0;
  mesh.attributeMax = -1000.0;
  auto value = parsed.values.begin();
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v, ++value) {
    v->attribute = static_cast<double>(*value);
    if (v->attribute < mesh.attributeMin) {
      mesh.attributeMin = v->attribute;
    }
    if (mesh.attributeMax < v->attribute) {
      mesh.attributeMax = v->attribute;
    }
  }
  return parsed.extra;
}

} // namespace vornel
