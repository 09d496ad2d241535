#pragma once
// Plain Python arguments (integers, optional numbers) checked the way the
// command line checks its own: a wrong type raises TypeError, a value out of
// range ValueError naming the argument and the value.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>

namespace vornel::python {

namespace py = pybind11;

/// An integer argument (anything with __index__) within [lowest, highest].
long long integerArgument(py::handle value, const std::string& name, long long lowest,
                          long long highest);

/// The class count: 1 to maxClassCount, with the library's message otherwise.
std::int32_t classCountArgument(py::handle value);

/// None, or a real number.
std::optional<double> optionalReal(py::handle value, const std::string& name);

} // namespace vornel::python
