#include "Arguments.hpp"

#include "pipeline/Options.hpp"

namespace vornel::python {
namespace {

std::string reprOf(py::handle value) {
  return py::repr(value).cast<std::string>();
}

/// value as a Python integer; TypeError for anything else (floats included).
py::int_ asInteger(py::handle value, const std::string& name) {
  const auto index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
  if (!index) {
    PyErr_Clear();
    throw py::type_error(name + " must be an integer, got " + reprOf(value));
  }
  return py::reinterpret_borrow<py::int_>(index);
}

/// The integer, or nullopt when it does not fit a long long.
std::optional<long long> fitting(const py::int_& value) {
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow != 0)
    return std::nullopt;
  return number;
}

} // namespace

long long integerArgument(py::handle value, const std::string& name, long long lowest,
                          long long highest) {
  const py::int_ integer = asInteger(value, name);
  const std::optional<long long> number = fitting(integer);
  if (!number || *number < lowest || *number > highest)
    throw py::value_error(name + " must lie between " + std::to_string(lowest) + " and " +
                          std::to_string(highest) + ", got " + reprOf(integer));
  return *number;
}

std::int32_t classCountArgument(py::handle value) {
  const py::int_ integer = asInteger(value, "classes");
  const std::optional<long long> number = fitting(integer);
  if (!number || *number < 1 || *number > maxClassCount)
    throw py::value_error("the class count must lie between 1 and " +
                          std::to_string(maxClassCount) + ", got " + reprOf(integer));
  return static_cast<std::int32_t>(*number);
}

std::optional<double> optionalReal(py::handle value, const std::string& name) {
  if (value.is_none())
    return std::nullopt;
  const double number = PyFloat_AsDouble(value.ptr());
  if (number == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    throw py::type_error(name + " must be a number or None, got " + reprOf(value));
  }
  return number;
}

} // namespace vornel::python
