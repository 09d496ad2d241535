#pragma once
// The data of the report page as one JSON document: the run's facts, the class
// tables, the histograms (with several features one each and the 2-D density
// of the first two), the annealing trace and the surface for the 3D view.

#include "app/report/RunRecord.hpp"
#include "app/report/ViewSurface.hpp"
#include "mesh/io/ColouredMeshWriter.hpp"
#include "pipeline/Options.hpp"

#include <cstdint>
#include <string>

namespace vornel {

struct ReportInputs {
  const RunOptions& options;
  const RunRecord& record;
  /// The segmented mesh as the input file has it: positions, facets, final
  /// labels and attribute values of every input vertex.
  const ColouredMesh& mesh;
  std::string valueSource;          // where the values came from: a file, or how they were made
  std::string labelFile;            // where the labels go
  double elapsedSeconds = 0.0;      // from the run's start to the report
  std::int64_t peakMemoryBytes = 0; // the process's peak resident size; 0 when unknown
  std::size_t triangleBudget = viewTriangleBudget;
};

/// The JSON text the page reads (see page/report.js for its use). Arrays of
/// the 3D view are base64 strings of little-endian float32, uint32 or uint8.
std::string reportData(const ReportInputs& inputs);

} // namespace vornel
