#include "app/VerboseReport.hpp"

#include "estimation/FallbackMessage.hpp"
#include "pipeline/ResourceUsage.hpp"

#include <cinttypes>
#include <string>

namespace vornel {

namespace {

std::string format(const char* pattern, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

/// What the fit used: the plain fit, or the fallback by its name.
std::string fitDescription(EstimateFallback fallback) {
  const char* const name = fallbackName(fallback);
  return name ? std::string("fallback: ") + name : "plain least-squares fit";
}

/// "(a, b, ...)" of count numbers from values.
std::string vectorText(const double* values, std::size_t count) {
  std::string text = "(";
  for (std::size_t i = 0; i < count; ++i)
    text += (i == 0 ? "" : ", ") + format("%.6g", values[i]);
  return text + ")";
}

} // namespace

void VerboseReport::line(const std::string& text) {
  std::fprintf(stream_, "vornel: %s\n", text.c_str());
  std::fflush(stream_);
}

void VerboseReport::stageDone(const std::string& stage, const StageTime& time) {
  const std::string processor =
      time.processorSeconds >= 0.0 ? "cpu " + format("%.3f", time.processorSeconds) + " s, " : "";
  line(stage + " done in " + format("%.3f", time.seconds) + " s (" + processor + "peak " +
       megabytes(currentResourceUsage().peakResidentBytes) + ")");
}

void VerboseReport::note(const std::string& text) {
  line(text);
}

void VerboseReport::classes(const std::string& when, const ClassSummary& summary) {
  line("classes " + when + ":");
  const std::size_t D = static_cast<std::size_t>(summary.featureCount);
  for (std::size_t c = 0; c < summary.sizes.size(); ++c) {
    if (D > 1) {
      line("  class " + std::to_string(c) + ": " + std::to_string(summary.sizes[c]) +
           " vertices, mean " + vectorText(&summary.means[c * D], D) + ", covariance rows");
      for (std::size_t i = 0; i < D; ++i)
        line("    " + vectorText(&summary.variances[(c * D + i) * D], D));
      continue;
    }
    char buffer[160];
    std::snprintf(buffer, sizeof buffer,
                  "  class %zu: %" PRId64 " vertices, mean %.6g, variance %.6g", c,
                  summary.sizes[c], summary.means[c], summary.variances[c]);
    line(buffer);
  }
}

void VerboseReport::parameters(const std::vector<float>& parameters, EstimateFallback fallback) {
  std::string text = "parameters:";
  for (std::size_t l = 0; l + 1 < parameters.size(); ++l)
    text += " theta_" + std::to_string(l + 1) + " = " + format("%.6g", parameters[l]);
  if (!parameters.empty())
    text += " beta = " + format("%.6g", parameters.back());
  line(text + " (" + fitDescription(fallback) + ")");
}

void VerboseReport::sweep(const SweepSummary& summary) {
  const std::string round =
      summary.round > 1 ? "round " + std::to_string(summary.round) + ", " : "";
  const char* phase = summary.greedy                          ? " (greedy)"
                      : summary.phase == SweepPhase::Settling ? " (settling)"
                                                              : "";
  line(round + "sweep " + std::to_string(summary.sweep) + phase +
       " at T = " + format("%.6g", summary.temperature) + ": " +
       std::to_string(summary.changedLabels) + " labels changed");
}

void VerboseReport::seed(unsigned seed) {
  line("seed " + std::to_string(seed));
}

} // namespace vornel
