#include "app/report/ReportOutput.hpp"

#include "app/report/ReportData.hpp"
#include "app/report/ReportPage.hpp"

#include <sys/resource.h>

namespace vornel {

std::int64_t peakMemoryBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0)
    return 0;
  return static_cast<std::int64_t>(usage.ru_maxrss) * 1024; // Linux counts kibibytes
}

std::unique_ptr<StagedFile> stageReport(const RunOptions& options, ReportCollector& collector,
                                        const ColouredMesh& mesh) {
  Stopwatch stopwatch;
  ReportInputs inputs{options, collector.record(), mesh};
  inputs.elapsedSeconds = collector.elapsedSeconds();
  inputs.peakMemoryBytes = peakMemoryBytes();
  auto staged =
      std::make_unique<StagedFile>(options.reportPath, reportPage(reportData(inputs)), "report");
  collector.stageDone("report page", stopwatch.lap());
  return staged;
}

} // namespace vornel
