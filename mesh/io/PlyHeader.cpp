// The PLY header is a few text lines: "ply", "format <kind> 1.0", then
// "element <name> <count>" lines each followed by its "property" lines, with
// "comment" and "obj_info" lines anywhere, up to "end_header".

#include "mesh/io/PlyHeader.hpp"

#include "core/Errors.hpp"
#include "core/PrintableText.hpp"
#include "mesh/io/TextLines.hpp"

#include <charconv>
#include <limits>
#include <sstream>

namespace vornel {
namespace {

struct TypeName {
  const char* name;
  PlyType type;
};

constexpr TypeName typeNames[] = {
    {"char", PlyType::Int8},      {"int8", PlyType::Int8},       {"uchar", PlyType::UInt8},
    {"uint8", PlyType::UInt8},    {"short", PlyType::Int16},     {"int16", PlyType::Int16},
    {"ushort", PlyType::UInt16},  {"uint16", PlyType::UInt16},   {"int", PlyType::Int32},
    {"int32", PlyType::Int32},    {"uint", PlyType::UInt32},     {"uint32", PlyType::UInt32},
    {"float", PlyType::Float32},  {"float32", PlyType::Float32}, {"double", PlyType::Float64},
    {"float64", PlyType::Float64}};

class HeaderParser {
public:
  HeaderParser(std::string_view bytes, const std::string& sourceName)
      : bytes_(bytes), sourceName_(sourceName),
        position_(bytes.size() - withoutByteOrderMark(bytes).size()) {}

  PlyHeader parse() {
    if (!nextLine() || words() != std::vector<std::string>{"ply"}) {
      throw InvalidInputError(sourceName_ + ": not a PLY file (it does not start with \"ply\")");
    }
    bool haveFormat = false;
    while (nextLine()) {
      const std::vector<std::string> w = words();
      if (w.empty() || w[0] == "comment" || w[0] == "obj_info") {
        continue;
      }
      if (w[0] == "end_header") {
        if (!haveFormat) {
          fail("the header has no format line");
        }
        header_.bodyOffset = position_;
        header_.bodyLine = line_ + 1;
        checkCountsFit();
        return header_;
      }
      if (w[0] == "format") {
        readFormat(w);
        haveFormat = true;
      } else if (w[0] == "element") {
        readElement(w);
      } else if (w[0] == "property") {
        readProperty(w);
      } else {
        fail("unknown header keyword \"" + printableText(w[0]) + "\"");
      }
    }
    throw InvalidInputError(sourceName_ + ": the PLY header has no end_header line");
  }

private:
  [[noreturn]] void fail(const std::string& reason) const {
    throw InvalidInputError(sourceName_ + ":" + std::to_string(line_) + ": " + reason);
  }

  /// Moves to the next header line; false at the end of the bytes.
  bool nextLine() {
    if (position_ >= bytes_.size()) {
      return false;
    }
    const char* const start = bytes_.data() + position_;
    const char* const end = bytes_.data() + bytes_.size();
    const char* const lineBreak = findLineBreak(start, end);
    current_ = std::string_view(start, static_cast<std::size_t>(lineBreak - start));
    position_ = static_cast<std::size_t>(nextLineStart(lineBreak, end) - bytes_.data());
    ++line_;
    return true;
  }

  std::vector<std::string> words() const {
    std::istringstream in{std::string(current_)};
    std::vector<std::string> result;
    for (std::string word; in >> word;) {
      result.push_back(word);
    }
    return result;
  }

  PlyType typeOf(const std::string& name) const {
    for (const TypeName& entry : typeNames) {
      if (name == entry.name) {
        return entry.type;
      }
    }
    fail("unknown property type \"" + printableText(name) + "\"");
  }

  void readFormat(const std::vector<std::string>& w) {
    if (w.size() != 3 || w[2] != "1.0") {
      fail("expected \"format <ascii|binary_little_endian|binary_big_endian> 1.0\"");
    }
    if (w[1] == "ascii") {
      header_.format = PlyFormat::Ascii;
    } else if (w[1] == "binary_little_endian") {
      header_.format = PlyFormat::BinaryLittleEndian;
    } else if (w[1] == "binary_big_endian") {
      header_.format = PlyFormat::BinaryBigEndian;
    } else {
      fail("unknown format \"" + printableText(w[1]) + "\"");
    }
  }

  void readElement(const std::vector<std::string>& w) {
    std::uint64_t count = 0;
    if (w.size() != 3) {
      fail("expected \"element <name> <count>\"");
    }
    const char* const last = w[2].data() + w[2].size();
    const auto result = std::from_chars(w[2].data(), last, count);
    if (result.ec != std::errc() || result.ptr != last) {
      fail("element count \"" + printableText(w[2]) + "\" is not a non-negative integer");
    }
    PlyElement element;
    element.name = w[1];
    element.count = count;
    element.headerLine = line_;
    header_.elements.push_back(element);
  }

  void readProperty(const std::vector<std::string>& w) {
    if (header_.elements.empty()) {
      fail("property before any element");
    }
    PlyProperty property;
    if (w.size() == 5 && w[1] == "list") {
      property.isList = true;
      property.countType = typeOf(w[2]);
      if (!isPlyIntegerType(property.countType)) {
        fail("list count type \"" + printableText(w[2]) + "\" is not an integer type");
      }
      property.type = typeOf(w[3]);
      property.name = w[4];
    } else if (w.size() == 3 && w[1] != "list") {
      property.type = typeOf(w[1]);
      property.name = w[2];
    } else {
      fail("expected \"property <type> <name>\" or \"property list <type> <type> <name>\"");
    }
    header_.elements.back().properties.push_back(property);
  }

  /// Every record takes some bytes, so the counts must fit the body's size.
  void checkCountsFit() const {
    // The last ASCII value of the file may end without a separator.
    std::uint64_t available = bytes_.size() - header_.bodyOffset;
    if (header_.format == PlyFormat::Ascii) {
      ++available;
    }
    for (const PlyElement& element : header_.elements) {
      const std::uint64_t recordBytes = element.minimumRecordBytes(header_.format);
      if (element.count > 0 && recordBytes == 0) {
        throw InvalidInputError(sourceName_ + ":" + std::to_string(element.headerLine) +
                                ": element " + printableText(element.name) + " has no properties");
      }
      if (element.count > available / (recordBytes == 0 ? 1 : recordBytes)) {
        throw InvalidInputError(sourceName_ + ":" + std::to_string(element.headerLine) +
                                ": the header announces " + std::to_string(element.count) + " " +
                                printableText(element.name) + " records, more than the file's " +
                                std::to_string(bytes_.size()) + " bytes can hold");
      }
      available -= element.count * recordBytes;
    }
  }

  std::string_view bytes_;
  const std::string& sourceName_;
  std::string_view current_;
  std::size_t position_;
  std::size_t line_ = 0;
  PlyHeader header_;
};

} // namespace

std::size_t plyTypeSize(PlyType type) {
  switch (type) {
  case PlyType::Int8:
  case PlyType::UInt8:
    return 1;
  case PlyType::Int16:
  case PlyType::UInt16:
    return 2;
  case PlyType::Int32:
  case PlyType::UInt32:
  case PlyType::Float32:
    return 4;
  case PlyType::Float64:
    return 8;
  }
  return 8;
}

bool isPlyIntegerType(PlyType type) {
  return type != PlyType::Float32 && type != PlyType::Float64;
}

const char* plyTypeName(PlyType type) {
  for (const TypeName& entry : typeNames) {
    if (entry.type == type) {
      return entry.name; // the first, short name
    }
  }
  return "double";
}

PlyIntegerRange plyIntegerRange(PlyType integerType) {
  switch (integerType) {
  case PlyType::Int8:
    return {INT8_MIN, INT8_MAX};
  case PlyType::UInt8:
    return {0, UINT8_MAX};
  case PlyType::Int16:
    return {INT16_MIN, INT16_MAX};
  case PlyType::UInt16:
    return {0, UINT16_MAX};
  case PlyType::Int32:
    return {INT32_MIN, INT32_MAX};
  default:
    return {0, UINT32_MAX};
  }
}

std::uint64_t PlyElement::minimumRecordBytes(PlyFormat format) const {
  std::uint64_t bytes = 0;
  for (const PlyProperty& property : properties) {
    if (format == PlyFormat::Ascii) {
      bytes += 2; // one digit and a separator
    } else {
      bytes += plyTypeSize(property.isList ? property.countType : property.type);
    }
  }
  return bytes;
}

int PlyElement::propertyIndex(std::string_view propertyName) const {
  for (std::size_t i = 0; i < properties.size(); ++i) {
    if (properties[i].name == propertyName) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

PlyHeader parsePlyHeader(std::string_view bytes, const std::string& sourceName) {
  return HeaderParser(bytes, sourceName).parse();
}

} // namespace vornel
