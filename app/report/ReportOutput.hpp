#pragma once
// The --report output of a run, staged beside the run's other outputs.

#include "app/Options.hpp"
#include "app/report/ReportCollector.hpp"
#include "mesh/io/AtomicFile.hpp"
#include "mesh/io/ColouredMeshWriter.hpp"

#include <cstdint>
#include <memory>

namespace vornel {

/// The process's peak resident memory in bytes; 0 where unknown.
std::int64_t peakMemoryBytes();

/// Writes the report page of the run to a temporary file next to
/// options.reportPath, to be committed with the run's other outputs, and tells
/// the collector (and the report behind it) how long that took. mesh is the
/// segmented mesh per input vertex (colouredMeshOf). Throws IOError when the
/// file cannot be written.
std::unique_ptr<StagedFile> stageReport(const RunOptions& options, ReportCollector& collector,
                                        const ColouredMesh& mesh);

} // namespace vornel
