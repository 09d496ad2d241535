#include "app/report/ReportOutput.hpp"

#include "app/report/ReportData.hpp"
#include "app/report/ReportPage.hpp"

#include "pipeline/ResourceUsage.hpp"

namespace vornel {

std::string reportPageBytes(const RunOptions& options, ReportCollector& collector,
                            const ColouredMesh& mesh, const std::string& valueSource,
                            const std::string& labelFile) {
  Stopwatch stopwatch;
  ReportInputs inputs{options, collector.record(), mesh, valueSource, labelFile};
  inputs.elapsedSeconds = collector.elapsedSeconds();
  inputs.peakMemoryBytes = static_cast<std::int64_t>(currentResourceUsage().peakResidentBytes);
  std::string page = reportPage(reportData(inputs));
  collector.stageDone("report page", stopwatch.lap());
  return page;
}

} // namespace vornel
