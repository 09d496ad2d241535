#pragma once
// The error for a vertex property asked of a mesh that does not have it as a
// scalar, or of a format whose vertices carry no properties. The request is
// at fault, not the file: the command line reports it as a usage error.

#include "core/Errors.hpp"

namespace vornel {

class VertexPropertyError : public VornelError {
public:
  using VornelError::VornelError;
};

} // namespace vornel
