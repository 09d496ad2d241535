#pragma once
// Writing to an output that is a character device or a named pipe
// (/dev/null, a terminal, /dev/stdout on a pipe, a FIFO), or that is the
// regular file a standard stream is redirected to: such a file cannot be
// replaced without breaking it for everyone else, so its bytes are written
// into it (after what it holds), once, at the end of a successful run.

#include <string>

namespace vornel {

/// Writes bytes into the device or pipe at path. A pipe that no process reads
/// is an IOError at once, never a wait; so is a reader that goes away, which
/// ends the write without a SIGPIPE. Throws IOError naming "cannot write
/// <what> <path>" and the reason.
void writeThrough(const std::string& path, const std::string& bytes, const std::string& what);

} // namespace vornel
