#pragma once
// The --report output of a run, staged beside the run's other outputs.

#include "app/Options.hpp"
#include "app/report/ReportCollector.hpp"
#include "mesh/io/ColouredMeshWriter.hpp"

#include <cstdint>
#include <string>

namespace vornel {

/// The process's peak resident memory in bytes; 0 where unknown.
std::int64_t peakMemoryBytes();

/// The report page of the run, for the run's outputs to write with the
/// others; tells the collector (and the report behind it) how long that took.
/// mesh is the segmented mesh per input vertex (colouredMeshOf).
std::string reportPageBytes(const RunOptions& options, ReportCollector& collector,
                            const ColouredMesh& mesh);

} // namespace vornel
