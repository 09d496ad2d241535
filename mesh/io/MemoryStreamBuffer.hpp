#pragma once
// A read-only stream buffer over bytes already in memory, seekable, so that a
// std::istream can read a mapped file without copying it.

#include <streambuf>
#include <string_view>

namespace vornel {

class MemoryStreamBuffer : public std::streambuf {
public:
  explicit MemoryStreamBuffer(std::string_view bytes) {
    char* const begin = const_cast<char*>(bytes.data()); // never written: no put area
    setg(begin, begin, begin + bytes.size());
  }

protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override {
    if (!(which & std::ios_base::in)) {
      return pos_type(off_type(-1));
    }
    const off_type base = direction == std::ios_base::beg   ? 0
                          : direction == std::ios_base::cur ? gptr() - eback()
                                                            : egptr() - eback();
    const off_type target = base + offset;
    if (target < 0 || target > egptr() - eback()) {
      return pos_type(off_type(-1));
    }
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
  }

  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type(position), std::ios_base::beg, which);
  }
};

} // namespace vornel
