#pragma once
// Handing the library's vectors to Python as NumPy arrays without a copy.

#include <pybind11/numpy.h>

#include <memory>
#include <utility>
#include <vector>

namespace vornel::python {

namespace py = pybind11;

/// A one-dimensional NumPy array that takes over the vector's memory.
template <class T> py::array_t<T> arrayOwning(std::vector<T>&& data) {
  auto owner = std::make_unique<std::vector<T>>(std::move(data));
  const py::capsule release(owner.get(),
                            [](void* vector) { delete static_cast<std::vector<T>*>(vector); });
  std::vector<T>* const vector = owner.release();
  return py::array_t<T>(static_cast<py::ssize_t>(vector->size()), vector->data(), release);
}

/// The same, of the given shape (whose sizes multiply to the vector's size).
template <class T>
py::array_t<T> arrayOwning(std::vector<T>&& data, std::vector<py::ssize_t> shape) {
  auto owner = std::make_unique<std::vector<T>>(std::move(data));
  const py::capsule release(owner.get(),
                            [](void* vector) { delete static_cast<std::vector<T>*>(vector); });
  std::vector<T>* const vector = owner.release();
  return py::array_t<T>(std::move(shape), vector->data(), release);
}

} // namespace vornel::python
