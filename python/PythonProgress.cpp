#include "PythonProgress.hpp"

#include <string>

namespace vornel::python {
namespace {

// The bar counts per cent of the stage it shows.
constexpr int barSteps = 100;

py::object tqdmBar() {
  py::module_ tqdm;
  try {
    tqdm = py::module_::import("tqdm");
  } catch (const py::error_already_set& error) {
    if (!error.matches(PyExc_ImportError))
      throw;
    throw py::import_error("progress=True shows a tqdm bar, but tqdm is not installed "
                           "(pip install tqdm, or Debian's python3-tqdm); pass a callable "
                           "receiving (stage, fraction) instead");
  }
  // leave=False: the bar is erased when the run ends, as the command line's line is.
  return tqdm.attr("tqdm")(py::arg("total") = barSteps, py::arg("leave") = false,
                           py::arg("unit") = "%");
}

} // namespace

PythonProgress::PythonProgress(py::handle progress) {
  if (progress.is_none() || progress.is(py::bool_(false)))
    return;
  if (progress.is(py::bool_(true))) {
    bar_ = tqdmBar();
    py::object bar = bar_;
    callback_ = py::cpp_function([bar](const std::string& stage, double fraction) {
      bar.attr("set_description_str")(stage, py::arg("refresh") = false);
      bar.attr("n") = static_cast<int>(fraction * barSteps);
      bar.attr("refresh")();
    });
    return;
  }
  if (!PyCallable_Check(progress.ptr()))
    throw py::type_error("progress must be None, a bool or a callable receiving (stage, "
                         "fraction), got " +
                         py::repr(progress).cast<std::string>());
  callback_ = py::reinterpret_borrow<py::object>(progress);
}

PythonProgress::~PythonProgress() {
  if (bar_)
    bar_.attr("close")();
}

ProgressSink PythonProgress::sink() const {
  if (!callback_)
    return {};
  const py::handle callback = callback_;
  return [callback](const std::string& stage, int done, int total) {
    const double fraction = total > 0 ? static_cast<double>(done) / total : 0.0;
    py::gil_scoped_acquire gil;
    callback(stage, fraction);
  };
}

} // namespace vornel::python
