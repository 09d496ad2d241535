#include "ExceptionTranslation.hpp"

#include "core/Errors.hpp"
#include "estimation/Matrix.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace vornel::python {
namespace {

/// Why path cannot be read, as an errno value; 0 when the path looks fine.
int readProblem(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    return errno;
  if (S_ISDIR(status.st_mode))
    return EISDIR;
  return ::access(path.c_str(), R_OK) != 0 ? errno : 0;
}

/// Why path cannot be written: the target is a folder, or its folder is
/// missing, not a folder or not writable. 0 when none of these holds.
int writeProblem(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
    return EISDIR;
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty())
    folder = ".";
  if (::stat(folder.c_str(), &status) != 0)
    return errno;
  if (!S_ISDIR(status.st_mode))
    return ENOTDIR;
  return ::access(folder.c_str(), W_OK) != 0 ? errno : 0;
}

} // namespace

void registerErrorTranslation() {
  py::register_exception_translator([](std::exception_ptr pointer) {
    try {
      std::rethrow_exception(pointer);
    } catch (const InvalidInputError& error) {
      PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const UsageError& error) {
      PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const OutputPathError& error) {
      PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const IOError& error) {
      PyErr_SetString(PyExc_OSError, error.what());
    } catch (const VornelError& error) {
      PyErr_SetString(PyExc_RuntimeError, error.what());
    } catch (const EError& error) {
      PyErr_SetString(PyExc_RuntimeError, ("internal error: " + error.message).c_str());
    }
  });
}

void raiseFileError(const std::string& message, const std::string& path, FileUse use) {
  const int problem = use == FileUse::Read ? readProblem(path) : writeProblem(path);
  const py::module_ builtins = py::module_::import("builtins");
  py::object kind = builtins.attr("OSError");
  if (problem != 0) // OSError(errno, text) is an instance of the subclass for errno
    kind = py::type::of(kind(problem, message));
  py::object error = kind(message);
  if (problem != 0)
    error.attr("errno") = problem;
  PyErr_SetObject(kind.ptr(), error.ptr());
  throw py::error_already_set();
}

} // namespace vornel::python
