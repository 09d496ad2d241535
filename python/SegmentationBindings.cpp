// segment(): NumPy arrays in, the command line's pipeline with the GIL
// released, a Segmentation with NumPy arrays out.

#include "Arguments.hpp"
#include "ArrayInput.hpp"
#include "ArrayOutput.hpp"
#include "Bindings.hpp"
#include "PythonProgress.hpp"
#include "SegmentationConversion.hpp"

#include "estimation/FallbackMessage.hpp"
#include "pipeline/SegmentMesh.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vornel::python {
namespace {

/// The fitted label model: theta_1 .. theta_{K-1} and beta.
struct Parameters {
  std::vector<double> theta;
  double beta = 0.0;
};

struct Segmentation {
  py::array_t<std::int32_t> labels;
  py::array_t<std::int32_t> segments;
  py::array_t<double> means;
  py::array_t<double> variances;
  py::object parameters = py::none();
  py::object fallback = py::none();
  std::vector<std::string> warnings;
};

py::object fallbackOf(EstimateFallback fallback) {
  const char* const name = fallbackName(fallback);
  return name ? py::object(py::str(name)) : py::none();
}

Segmentation toPython(SegmentationResult&& result, bool featureShapes) {
  Segmentation segmentation;
  if (!result.parameters.empty()) {
    Parameters parameters;
    parameters.theta.assign(result.parameters.begin(), result.parameters.end() - 1);
    parameters.beta = result.parameters.back();
    segmentation.parameters = py::cast(std::move(parameters));
  }
  segmentation.labels = arrayOwning(std::move(result.labels));
  segmentation.segments = arrayOwning(std::move(result.segments));
  if (featureShapes) {
    // Values given as (n, D): means (K, D) and covariances (K, D, D).
    const py::ssize_t D = result.featureCount;
    const py::ssize_t K = static_cast<py::ssize_t>(result.means.size()) / D;
    segmentation.means = arrayOwning(std::move(result.means), {K, D});
    segmentation.variances = arrayOwning(std::move(result.variances), {K, D, D});
  } else {
    segmentation.means = arrayOwning(std::move(result.means));
    segmentation.variances = arrayOwning(std::move(result.variances));
  }
  segmentation.fallback = fallbackOf(result.fallback);
  segmentation.warnings = std::move(result.warnings);
  return segmentation;
}

} // namespace

SegmentationOptions segmentationOptionsFrom(py::handle classes, py::handle filterPasses,
                                            py::handle sweeps, py::handle seed, bool refine,
                                            py::handle temperature, py::handle cooling,
                                            py::handle minSegmentSize, py::handle threads) {
  constexpr long long intLowest = std::numeric_limits<int>::min();
  constexpr long long intHighest = std::numeric_limits<int>::max();
  SegmentationOptions options;
  options.classCount = classCountArgument(classes);
  options.filterPasses =
      static_cast<int>(integerArgument(filterPasses, "filter_passes", intLowest, intHighest));
  options.sweepCount = static_cast<int>(integerArgument(sweeps, "sweeps", intLowest, intHighest));
  if (!seed.is_none())
    options.seed = static_cast<unsigned>(
        integerArgument(seed, "seed", 0, std::numeric_limits<std::uint32_t>::max()));
  options.refine = refine;
  options.initialTemperature = optionalReal(temperature, "temperature");
  options.coolingFactor = optionalReal(cooling, "cooling");
  options.minSegmentSize = static_cast<std::uint32_t>(integerArgument(
      minSegmentSize, "min_segment_size", 0, std::numeric_limits<std::uint32_t>::max()));
  if (!threads.is_none())
    options.threads = static_cast<unsigned>(integerArgument(threads, "threads", 1, maxThreadCount));
  return options;
}

py::object segmentationObject(SegmentationResult&& result) {
  // A file run has several features only when several sources were named.
  const bool featureShapes = result.featureCount > 1;
  return py::cast(toPython(std::move(result), featureShapes));
}

namespace {

Segmentation segmentFromPython(py::handle vertices, py::handle faces, py::handle values,
                               py::handle classes, py::handle filterPasses, py::handle sweeps,
                               py::handle seed, bool refine, py::handle temperature,
                               py::handle cooling, py::handle minSegmentSize, py::handle threads,
                               py::handle progress) {
  SegmentationOptions options = segmentationOptionsFrom(
      classes, filterPasses, sweeps, seed, refine, temperature, cooling, minSegmentSize, threads);
  const PythonProgress shown(progress);
  options.progress = shown.sink();
  MeshArrays mesh = meshFromPython(vertices, faces);
  FeatureArray features = featuresFromPython(values, "values");
  SegmentationResult result;
  {
    py::gil_scoped_release release;
    result =
        segmentMesh(std::move(mesh), std::move(features.values), features.featureCount, options);
  }
  return toPython(std::move(result), features.twoDimensional);
}

std::string listText(const std::vector<double>& numbers) {
  std::string text = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i)
    text += (i == 0 ? "" : ", ") + py::repr(py::float_(numbers[i])).cast<std::string>();
  return text + "]";
}

std::string describe(const Segmentation& segmentation) {
  const auto labels = segmentation.labels.unchecked<1>();
  std::vector<long long> sizes(static_cast<std::size_t>(segmentation.means.shape(0)), 0);
  for (py::ssize_t v = 0; v < labels.shape(0); ++v)
    if (labels(v) >= 0 && static_cast<std::size_t>(labels(v)) < sizes.size())
      ++sizes[static_cast<std::size_t>(labels(v))];
  std::string text = "<vornel.Segmentation: " + std::to_string(sizes.size()) +
                     (sizes.size() == 1 ? " class of " : " classes of ");
  for (std::size_t c = 0; c < sizes.size(); ++c)
    text += (c == 0 ? "" : ", ") + std::to_string(sizes[c]);
  return text + " vertices>";
}

const char* const segmentDoc =
    R"(segment(vertices, faces, values, classes, filter_passes=3, sweeps=50, *, seed=None, refine=False, temperature=None, cooling=None, min_segment_size=0, threads=None, progress=None) -> vornel.Segmentation

Segment a surface mesh into `classes` classes from one value per vertex, or
from several (D features: curvature and colour, say).

Runs the pipeline of the command line: k-means classes, `filter_passes`
passes of the 1-ring majority filter, the least-squares fit of the pairwise
label model, `sweeps` annealing sweeps (the last one greedy), and the
numbering of the classes by increasing mean, then the optional merge of
small segments. For the same mesh, values,
options and seed the labels are exactly those the command line writes.

Parameters
----------
vertices : (n, 3) array-like of float
    Vertex positions (kept in single precision; they do not change the labels).
faces : (m, k) integer array, or a sequence of index sequences
    Facets as vertex indices counted from 0, at least three distinct ones per
    facet, consistently oriented. A sequence may mix polygons of any size.
values : (n,) or (n, D) array-like of float, D >= 2
    One finite value per vertex, or D features per vertex (row v holds vertex
    v's). The command line reads its attribute file in single precision:
    values rounded to float32 (as read_attribute returns them) reproduce its
    labels exactly. With D features the k-means compares each feature divided
    by its standard deviation, each class has a mean vector and a full
    covariance, and the classes are numbered by the mean of the first
    feature, then the second, and so on; a feature's unit changes no label.
classes : int
    Number of classes K, 1 to 256.
filter_passes : int, optional
    Majority-filter passes (3 recommended; 0 or less: none).
sweeps : int, optional
    Annealing sweeps (50 recommended; 0 or less: none).
seed : int or None, optional
    Seed of the random generator, 0 to 2**32 - 1. None takes the clock, so
    that two runs may differ.
refine : bool, optional
    The refined model of the command line's --refine, recommended for noisy
    values (the README's "Refined mode" describes it).
temperature : float or None, optional
    First annealing temperature, a finite number above 0 (default 4, or 1
    with refine).
cooling : float or None, optional
    Cooling factor per sweep, in (0, 1] (default 0.97; with refine the factor
    that reaches a twentieth of the first temperature at the last sweep).
min_segment_size : int, optional
    Merge every connected segment of fewer vertices into the neighbouring
    segment it shares the most edges with, smallest first (ties to the larger
    neighbour, then the lower label); the class means and variances are then
    those of the final labels. 0 or 1: no merging.
threads : int or None, optional
    Threads for the parallel stages, 1 to 4096. None takes every core the
    process may use. The labels are the same for every count; each call runs
    on its own threads, so calls from several Python threads do not interfere.
progress : None, bool or callable, optional
    None or False: nothing is shown. A callable is called as the run goes
    with the stage (str) and the fraction of it done (float, 0 to 1: the
    annealing's sweeps; 0 for a stage told only as it starts), holding the
    GIL; an exception it raises ends the run. True shows a tqdm bar (tqdm
    must be installed), erased at the end. The labels never depend on it.

Returns
-------
Segmentation
    labels and segments (int32, one per vertex), means and variances
    (float64, one per class; for (n, D) values means of shape (K, D) and
    variances the covariances, of shape (K, D, D)), the fitted parameters,
    the fallback used by the fit, warnings.

Raises
------
ValueError
    A wrong shape, an index outside the vertices, a facet the mesh cannot
    hold (non-manifold, inconsistently oriented; the message counts facets
    from 1), a value that is not finite, a value count that differs from the
    vertex count, classes outside 1 to 256 or more classes than distinct
    values, a schedule out of range, a min_segment_size outside 0 to 2**32 - 1.
TypeError
    An argument that is not numbers, or faces that are not integers.

float32 and float64 vertex and value arrays and facet arrays of any integer
type in native byte order are read in place whatever their memory layout;
other types are converted. The GIL is released while the segmentation runs, so that threads
can segment several meshes at once.)";

const char* const segmentationDoc = R"(The result of segment().

Attributes
----------
labels : numpy.ndarray of int32, shape (n,)
    The class of every vertex, classes numbered by increasing mean.
segments : numpy.ndarray of int32, shape (n,)
    The connected segment of every vertex (a maximal set of vertices of one
    class joined by edges), numbered in the order of each segment's first
    vertex.
means : numpy.ndarray of float64, shape (K,), or (K, D) for (n, D) values
    The mean value of every class, ascending; with D features each class's
    mean vector, in lexicographic order.
variances : numpy.ndarray of float64, shape (K,), or (K, D, D) for (n, D) values
    The variance of every class; with D features each class's covariance.
parameters : Parameters or None
    The fitted label model; None for a single class, where nothing is fitted.
fallback : str or None
    None when the plain least-squares fit was used; "smoothed ratios" or
    "neutral" when the labelling held too little information for it.
warnings : list of str
    The lines the command line would print as warnings.)";

const char* const parametersDoc = R"(The fitted pairwise label model.

The neighbourhood term of class l at a vertex is beta * (D - S) / (D + S) -
theta_l, with S the ring neighbours in class l and D the others; class 0 has
no theta (its weight is fixed at 1).

Attributes
----------
theta : list of float
    theta_1 .. theta_{K-1}, the class weights of classes 1 to K - 1.
beta : float
    The interaction coefficient.)";

} // namespace

void addSegmentation(py::module_& module) {
  py::class_<Parameters>(module, "Parameters", parametersDoc)
      .def_readonly("theta", &Parameters::theta, "theta_1 .. theta_{K-1} (list of float)")
      .def_readonly("beta", &Parameters::beta, "The interaction coefficient (float)")
      .def("__repr__", [](const Parameters& parameters) {
        return "Parameters(theta=" + listText(parameters.theta) +
               ", beta=" + py::repr(py::float_(parameters.beta)).cast<std::string>() + ")";
      });

  py::class_<Segmentation>(module, "Segmentation", segmentationDoc)
      .def_readonly("labels", &Segmentation::labels, "Class of every vertex (int32 array)")
      .def_readonly("segments", &Segmentation::segments,
                    "Connected segment of every vertex (int32 array)")
      .def_readonly("means", &Segmentation::means,
                    "Mean of every class (float64 array; (K, D) for (n, D) values)")
      .def_readonly("variances", &Segmentation::variances,
                    "Variance of every class (float64 array; covariances (K, D, D) for (n, D) "
                    "values)")
      .def_readonly("parameters", &Segmentation::parameters,
                    "The fitted label model (Parameters), or None for one class")
      .def_readonly("fallback", &Segmentation::fallback,
                    "None, or the fallback the parameter fit used (str)")
      .def_readonly("warnings", &Segmentation::warnings, "Warning lines (list of str)")
      .def("__repr__", &describe);

  module.def("segment", &segmentFromPython, segmentDoc, py::arg("vertices"), py::arg("faces"),
             py::arg("values"), py::arg("classes"), py::arg("filter_passes") = 3,
             py::arg("sweeps") = 50, py::kw_only(), py::arg("seed") = py::none(),
             py::arg("refine") = false, py::arg("temperature") = py::none(),
             py::arg("cooling") = py::none(), py::arg("min_segment_size") = 0,
             py::arg("threads") = py::none(), py::arg("progress") = py::none());
}

} // namespace vornel::python
