#include "mesh/io/MappedFile.hpp"

#include "core/Errors.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vornel {
namespace {

class Descriptor {
public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { ::close(descriptor_); }
  int get() const { return descriptor_; }

private:
  int descriptor_;
};

[[noreturn]] void failOpen(const std::string& what, const std::string& path, int error) {
  throw IOError("cannot open " + what + " " + path + ": " + std::strerror(error));
}

} // namespace

int openRegularFile(const std::string& path, const std::string& what) {
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    failOpen(what, path, errno);
  }
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) {
    const int error = errno;
    ::close(descriptor);
    failOpen(what, path, error);
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(descriptor);
    throw IOError("cannot read " + what + " " + path + ": " +
                  (S_ISDIR(status.st_mode) ? "it is a folder" : "it is not a regular file"));
  }
  return descriptor;
}

MappedFile::MappedFile(const std::string& path, const std::string& what, bool preload) {
  const Descriptor file(openRegularFile(path, what));
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    failOpen(what, path, errno);
  }
  size_ = static_cast<std::size_t>(status.st_size);
  if (size_ == 0) {
    return;
  }
  address_ =
      ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | (preload ? MAP_POPULATE : 0), file.get(), 0);
  if (address_ == MAP_FAILED) {
    const int error = errno;
    size_ = 0;
    address_ = nullptr;
    throw IOError("cannot read " + what + " " + path + ": " + std::strerror(error));
  }
  ::madvise(address_, size_, MADV_SEQUENTIAL);
}

MappedFile::~MappedFile() {
  if (size_ != 0) {
    ::munmap(address_, size_);
  }
}

} // namespace vornel
