#pragma once
// How the library's exceptions reach Python: invalid input as ValueError with
// the library's message, a file that cannot be read or written as the OSError
// subclass that fits (FileNotFoundError, PermissionError, IsADirectoryError...).

#include <pybind11/pybind11.h>

#include <string>

namespace vornel::python {

namespace py = pybind11;

/// Maps every library exception that escapes a bound function; OSError here
/// carries no errno, since the path is not known.
void registerErrorTranslation();

enum class FileUse { Read, Write };

/// Raises the OSError subclass for a failed read or write of path, found by
/// looking at the path (missing, a folder, not permitted), with message as its
/// text and the matching errno. Call with the GIL held.
[[noreturn]] void raiseFileError(const std::string& message, const std::string& path, FileUse use);

} // namespace vornel::python
