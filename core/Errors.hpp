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

/// An output path the run must not write: an input, another output, a file
/// that can be neither replaced nor written into. The caller chose it, so the
/// command line reports it as a usage error (exit status 2).
class OutputPathError : public VornelError {
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

/// The mesh file of a run does not exist. The command line answers with its own
/// message on standard output, so this carries the path rather than a sentence.
class MissingMeshError : public IOError {
public:
  explicit MissingMeshError(const std::string& meshPath)
      : IOError("mesh " + meshPath + " does not exist"), path(meshPath) {}
  std::string path;
};

} // namespace vornel
