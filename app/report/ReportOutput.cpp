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

std::string reportPageBytes(const RunOptions& options, ReportCollector& collector,
                            const ColouredMesh& mesh) {
  Stopwatch stopwatch;
  ReportInputs inputs{options, collector.record(), mesh};
  inputs.elapsedSeconds = collector.elapsedSeconds();
  inputs.peakMemoryBytes = peakMemoryBytes();
  std::string page = reportPage(reportData(inputs));
  collector.stageDone("report page", stopwatch.lap());
  return page;
}

} // namespace vornel
