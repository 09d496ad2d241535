#pragma once
// The progress= argument of segment() and segment_file(): None or False shows
// nothing, a callable is called with the stage and the fraction of it done,
// True shows a tqdm bar (tqdm is imported at call time, only then).

#include "pipeline/Progress.hpp"

#include <pybind11/pybind11.h>

namespace vornel::python {

namespace py = pybind11;

class PythonProgress {
public:
  /// Call with the GIL held. Raises ImportError for True without tqdm,
  /// TypeError for anything but None, a bool or a callable.
  explicit PythonProgress(py::handle progress);
  /// Closes the bar, which erases it. Call with the GIL held.
  ~PythonProgress();
  PythonProgress(const PythonProgress&) = delete;
  PythonProgress& operator=(const PythonProgress&) = delete;

  /// The run's sink; empty when nothing is shown. It takes the GIL for each
  /// call, so the run may hand it over with the GIL released; an exception
  /// the callable raises ends the run and reaches the caller.
  ProgressSink sink() const;

private:
  py::object callback_; // (stage, fraction) -> None
  py::object bar_;      // the tqdm bar, when progress is True
};

} // namespace vornel::python
