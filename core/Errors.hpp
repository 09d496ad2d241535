#pragma once
// The exceptions the tool throws where a problem is found. The driver catches
// them once and maps them to a message on standard error and an exit status.

#include <stdexcept>
#include <string>

namespace vornel {

/// Base of every error the tool reports to its user.
class VornelError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// The command line is wrong: exit status 2.
class UsageError : public VornelError {
public:
  using VornelError::VornelError;
};

/// A name the caller gave is none of the choices a layer knows (a curvature
/// measure): the caller's wording is at fault. The command line reports it as
/// a usage error (exit status 2).
class UnknownNameError : public VornelError {
public:
  using VornelError::VornelError;
};

/// An input file holds something the tool cannot use (bad mesh, bad values): exit status 1.
class InvalidInputError : public VornelError {
public:
  using VornelError::VornelError;
};

/// A facet or vertex that the halfedge structure cannot hold (an edge with more
/// than two facets, inconsistent orientation, a vertex whose facets form several
/// fans): the mesh could be read after repair.
class NonManifoldError : public InvalidInputError {
public:
  using InvalidInputError::InvalidInputError;
};

/// A file cannot be opened, read or written: exit status 1.
class IOError : public VornelError {
public:
  using VornelError::VornelError;
};

} // namespace vornel
