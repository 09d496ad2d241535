#pragma once
// The --report output of a run, staged beside the run's other outputs.

#include "app/report/ReportCollector.hpp"
#include "mesh/io/ColouredMeshWriter.hpp"
#include "pipeline/Options.hpp"

#include <string>

namespace vornel {

/// The report page of the run, for the run's outputs to write with the
/// others; tells the collector (and the report behind it) how long that took.
/// mesh is the segmented mesh per input vertex (colouredMeshOf); valueSource
/// and labelFile say where the run took its values from and put its labels.
std::string reportPageBytes(const RunOptions& options, ReportCollector& collector,
                            const ColouredMesh& mesh, const std::string& valueSource,
                            const std::string& labelFile);

} // namespace vornel
