// The OBJ reader: the whole file is mapped into memory, parsed into a polygon
// soup, and the mapping is released before the surface is built, so that the
// text and the built surface never occupy memory together.

#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/ObjParser.hpp"
#include "mesh/PolygonSoup.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace vornel {
namespace {

// A regular file mapped read-only into memory for the time of parsing: the text
// is read straight from the page cache, with no copy and no zero-filled buffer.
class MappedFile {
public:
  explicit MappedFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
      throw IOError("cannot read " + path);
    }
    struct stat status {};
    const bool regular = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    size_ = regular ? static_cast<std::size_t>(status.st_size) : 0;
    if (regular && size_ != 0) {
      address_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
    }
    ::close(descriptor);
    if (!regular || address_ == MAP_FAILED) {
      throw IOError("cannot read " + path);
    }
    if (size_ != 0) {
      ::madvise(address_, size_, MADV_SEQUENTIAL);
    }
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile() {
    if (size_ != 0) {
      ::munmap(address_, size_);
    }
  }

  std::string_view text() const {
    return size_ == 0 ? std::string_view() : std::string_view(static_cast<const char*>(address_), size_);
  }

private:
  void* address_ = nullptr;
  std::size_t size_ = 0;
};

PolygonSoup parseObjFile(const std::string& path) {
  const MappedFile file(path);
  return parseObj(file.text(), path);
}

// The parser sizes the arrays from a count of the lines, exactly for triangle
// meshes (trimming then copies nothing); other facet sizes or skipped vertex
// lines leave slack, trimmed here so that it does not add to the build's peak.
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
