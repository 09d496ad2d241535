// The vornel Python module: segmentation and the command line's files on
// NumPy arrays.

#include "Bindings.hpp"
#include "ExceptionTranslation.hpp"

namespace {

const char* const moduleDoc = R"(Segment surface meshes into classes from one value per vertex.

segment(vertices, faces, values, classes, ...)  the whole pipeline on arrays
segment_file(path, classes, ...)                the command line's run on a file
read_mesh(path)                                 an OBJ, OFF, PLY or STL mesh as arrays
read_attribute(path, count)                     an attribute file as an array
write_labels(path, labels, classes)             a label file
mean_curvature(vertices, faces)                 per-vertex curvature (also
gaussian_curvature(vertices, faces)             the values --compute-attribute
curvedness(vertices, faces)                     gives a run)

Example:

    import numpy as np, vornel
    vertices, faces = vornel.read_mesh("mesh.obj")
    values = vornel.read_attribute("mesh_attribute.att", len(vertices))
    result = vornel.segment(vertices, faces, values, 3, seed=7)
    print(np.bincount(result.labels))
)";

} // namespace

PYBIND11_MODULE(vornel, module) {
  namespace py = pybind11;
  py::options options;
  options.disable_function_signatures(); // each docstring starts with its own signature
  module.doc() = moduleDoc;
  module.attr("__version__") = VORNEL_VERSION;
  vornel::python::registerErrorTranslation();
  vornel::python::addSegmentation(module);
  vornel::python::addFileRun(module);
  vornel::python::addFiles(module);
  vornel::python::addCurvature(module);
}
