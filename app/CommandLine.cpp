#include "app/CommandLine.hpp"

#include "core/Errors.hpp"
#include "pipeline/RunRules.hpp"
#include "pipeline/RunSchedule.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace vornel {

const char* const usageText =
    "Utilization:\n\tVornel.exe Name ClustNb MedianNb IterNB\n\n"
    "Name <Name of the file .OFF or .OBJ> \nClustNb <Cluster number> \n"
    "MedianNb <Median filtering iteration number> 3 is recommended\n"
    "IterNB <Optimization iteration number> 50 is recommended\n\n"
    "\nFor instance: Vornel.exe dinosaur-10.obj 3 3 100\n\n"
    "\nif the Name is XXX.obj or XXX.off then the attributes have to be in XXX_attribute.att"
    "\nThe labels will be written in XXX_labels.lb (the first number is the cluster number)";

const char* const optionsText =
    "\n\nOptions (after the four arguments):\n"
    "  --seed S             seed the random generator with S (a non-negative integer)\n"
    "                       instead of the clock, so that a run can be repeated exactly\n"
    "  --refine             the refined model: k-means on ring averages, a noise\n"
    "                       floor on the class variances, a cooler schedule run until\n"
    "                       the labels settle, and a second round; the recommended\n"
    "                       choice for noisy attributes\n"
    "  --temperature T0     first annealing temperature, > 0 (default 4, or 1 with --refine)\n"
    "  --cooling F          cooling factor per sweep, in (0, 1] (default 0.97; with\n"
    "                       --refine the factor that reaches T0/20 at the last sweep)\n"
    "  --attribute-file FILE\n"
    "                       read the values from FILE instead of XXX_attribute.att\n"
    "  --labels-file FILE   write the labels to FILE instead of XXX_labels.lb\n"
    "  --attribute-property NAME\n"
    "                       take the values from the PLY mesh's vertex property NAME\n"
    "                       (quality, for instance) instead of an attribute file\n"
    "  --compute-attribute MEASURE\n"
    "                       compute the values from the mesh: mean-curvature,\n"
    "                       gaussian-curvature or curvedness; they are also written\n"
    "                       to XXX_attribute.att unless it exists (or to the\n"
    "                       --attribute-file right after it, which must not exist yet)\n"
    "                       These three may be repeated and mixed: each gives one\n"
    "                       feature per vertex, in the order given, and the run\n"
    "                       segments on all of them together; XXX_attribute.att is\n"
    "                       read only when none of them is given (name it with\n"
    "                       --attribute-file to keep it as one of the features)\n"
    "  --segments FILE      also write the connected segments (pieces of one class\n"
    "                       joined by edges) to FILE, in the label file's format:\n"
    "                       the segment count, then each vertex's segment\n"
    "  --min-segment-size N merge every segment of fewer than N vertices into the\n"
    "                       neighbouring segment it shares the most edges with,\n"
    "                       smallest first (default 0: no merging)\n"
    "  --colour-mesh FILE   also write the mesh coloured by class (.ply or .off);\n"
    "                       --color-mesh is the same\n"
    "  --report FILE.html   also write a report of the run: a self-contained page with\n"
    "                       the surface in 3D, the class table, the value histogram,\n"
    "                       the annealing trace and the run's settings and timings\n"
    "  --threads N          run the parallel stages on N threads, N >= 1 (default: every\n"
    "                       core the process may use); the results are the same for every N\n"
    "  --repair             split non-manifold vertices instead of refusing the mesh\n"
    "  --verbose            report every stage on standard error\n"
    "  --progress           show the stage (and the annealing's sweep) on one line of\n"
    "                       standard error, rewritten in place and erased at the end;\n"
    "                       only on a terminal, and not with --verbose\n"
    "  --version            print the version\n"
    "  --help               print this text\n"
    "\nExit status: 0 on success, 1 when an input or output file is at fault,\n"
    "2 when the command line is.\n";

const char* const versionText = "vornel " VORNEL_VERSION "\n";

std::string missingFileMessage(const std::string& path) {
  return "The file " + path + " n'existe pas!does not exist\n\n";
}

namespace {

/// The text without the white space around it: numbers may carry white space
/// on either side, as "%i" skips it before a number and ignores what follows.
std::string trimmed(const std::string& text) {
  const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  const auto first = std::find_if_not(text.begin(), text.end(), isSpace);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), isSpace).base();
  return first < last ? std::string(first, last) : std::string();
}

/// A whole number in "%i" syntax, surrounded by white space or not; nullopt
/// when the text is anything else or does not fit a long long.
std::optional<long long> wholeNumber(const std::string& text) {
  const std::string number = trimmed(text);
  const char* begin = number.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, 0);
  if (number.empty() || end != begin + number.size() || errno == ERANGE)
    return std::nullopt;
  return value;
}

unsigned parseSeed(const std::string& text) {
  const std::optional<long long> value = wholeNumber(text);
  if (!value || *value < 0 || *value > static_cast<long long>(UINT_MAX))
    throw UsageError("--seed needs a non-negative integer below 2^32, got \"" + text + "\"");
  return static_cast<unsigned>(*value);
}

double parseReal(const std::string& text, const std::string& option) {
  const std::string number = trimmed(text);
  const char* begin = number.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (number.empty() || end != begin + number.size() || !std::isfinite(value))
    throw UsageError(option + " needs a number, got \"" + text + "\"");
  return value;
}

std::uint32_t parseMinSegmentSize(const std::string& text) {
  const std::optional<long long> value = wholeNumber(text);
  if (!value || *value < 0 || *value > static_cast<long long>(UINT32_MAX))
    throw UsageError("--min-segment-size needs a whole number of vertices, 0 or more, got \"" +
                     text + "\"");
  return static_cast<std::uint32_t>(*value);
}

std::string nonEmptyValue(const std::string& text, const std::string& option) {
  if (text.empty())
    throw UsageError(option + " needs a value");
  return text;
}

double parseTemperature(const std::string& text) {
  const double value = parseReal(text, "--temperature");
  if (!isValidInitialTemperature(value))
    throw UsageError("--temperature must be above 0, got " + text);
  return value;
}

double parseCooling(const std::string& text) {
  const double value = parseReal(text, "--cooling");
  if (!isValidCoolingFactor(value))
    throw UsageError("--cooling must lie in (0, 1], got " + text);
  return value;
}

unsigned parseThreads(const std::string& text) {
  const std::optional<long long> value = wholeNumber(text);
  if (!value || *value < 1 || *value > static_cast<long long>(maxThreadCount))
    throw UsageError("--threads needs a whole number from 1 to " + std::to_string(maxThreadCount) +
                     ", got \"" + text + "\"");
  return static_cast<unsigned>(*value);
}

/// The measure --compute-attribute names; a name the mesh layer does not know
/// is the command line's fault.
CurvatureMeasure computedMeasure(const std::string& name) {
  try {
    return parseCurvatureMeasure(name);
  } catch (const UnknownNameError& error) {
    throw UsageError(error.what());
  }
}

std::string colourMeshPath(const std::string& path) {
  checkColourMeshPath(path);
  return path;
}

std::string reportPath(const std::string& path) {
  checkReportPath(path);
  return path;
}

/// --attribute-file: the file the computed values just before it are written
/// to, when that source has none yet (the one-feature meaning of the pair);
/// otherwise one more feature, read from the file.
void addAttributeFile(const std::string& path, RunOptions& options) {
  std::vector<FeatureSource>& features = options.features;
  if (!features.empty() && features.back().kind == FeatureSource::Kind::Computed &&
      features.back().name.empty()) {
    features.back().name = path;
    return;
  }
  features.push_back({FeatureSource::Kind::File, path});
}

/// The value after option args[i]; advances i past it.
const std::string& optionValue(const std::vector<std::string>& args, std::size_t& i) {
  if (i + 1 >= args.size())
    throw UsageError(args[i] + " needs a value");
  return args[++i];
}

/// A word after the four arguments that is not an option: ignoring it would let
/// the user believe "-seed 7" set a seed.
[[noreturn]] void refuseStrayWord(const std::string& word) {
  if (word.size() > 1 && word[0] == '-' && std::isalpha(static_cast<unsigned char>(word[1])))
    throw UsageError("unknown option \"" + word + "\" (did you mean -" + word +
                     "? see vornel --help)");
  throw UsageError("unexpected argument \"" + word +
                   "\" after the four arguments (options start with --; see vornel --help)");
}

void parseOptions(const std::vector<std::string>& args, RunOptions& options) {
  SegmentationOptions& segmentation = options.segmentation;
  for (std::size_t i = 4; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
      refuseStrayWord(arg);
    if (arg == "--seed")
      segmentation.seed = parseSeed(optionValue(args, i));
    else if (arg == "--temperature")
      segmentation.initialTemperature = parseTemperature(optionValue(args, i));
    else if (arg == "--cooling")
      segmentation.coolingFactor = parseCooling(optionValue(args, i));
    else if (arg == "--refine")
      segmentation.refine = true;
    else if (arg == "--attribute-file")
      addAttributeFile(nonEmptyValue(optionValue(args, i), arg), options);
    else if (arg == "--labels-file")
      options.labelFilePath = nonEmptyValue(optionValue(args, i), arg);
    else if (arg == "--attribute-property")
      options.features.push_back(
          {FeatureSource::Kind::VertexProperty, nonEmptyValue(optionValue(args, i), arg)});
    else if (arg == "--compute-attribute")
      options.features.push_back(
          {FeatureSource::Kind::Computed, "", computedMeasure(optionValue(args, i))});
    else if (arg == "--segments")
      options.segmentsPath = nonEmptyValue(optionValue(args, i), arg);
    else if (arg == "--min-segment-size")
      segmentation.minSegmentSize = parseMinSegmentSize(optionValue(args, i));
    else if (arg == "--colour-mesh" || arg == "--color-mesh")
      options.colourMeshPath = colourMeshPath(optionValue(args, i));
    else if (arg == "--report")
      options.reportPath = reportPath(optionValue(args, i));
    else if (arg == "--threads")
      segmentation.threads = parseThreads(optionValue(args, i));
    else if (arg == "--repair")
      options.repair = true;
    else if (arg == "--verbose")
      options.verbose = true;
    else if (arg == "--progress")
      options.showProgress = true;
    else
      throw UsageError("unknown option \"" + arg + "\" (see vornel --help)");
  }
}

} // namespace

int parseIntegerArgument(const std::string& text, const std::string& what) {
  const std::optional<long long> value = wholeNumber(text);
  if (!value || *value < INT_MIN || *value > INT_MAX)
    throw UsageError(what + " must be a whole number, got \"" + text + "\"");
  return static_cast<int>(*value);
}

Command parseCommandLine(const std::vector<std::string>& args) {
  Command command;
  if (!args.empty() && (args[0] == "--help" || args[0] == "--version")) {
    command.kind = args[0] == "--help" ? CommandKind::ShowHelp : CommandKind::ShowVersion;
    return command;
  }
  if (args.size() < 4) {
    command.kind = CommandKind::ShowUsage;
    return command;
  }
  RunOptions& options = command.options;
  options.meshPath = args[0];
  options.segmentation.classCount = parseIntegerArgument(args[1], "ClustNb");
  options.segmentation.filterPasses = parseIntegerArgument(args[2], "MedianNb");
  options.segmentation.sweepCount = parseIntegerArgument(args[3], "IterNB");
  const int classCount = options.segmentation.classCount;
  if (classCount < 1 || classCount > maxClassCount)
    throw UsageError("ClustNb must lie between 1 and " + std::to_string(maxClassCount) + ", got " +
                     std::to_string(classCount));
  parseOptions(args, options);
  return command;
}

} // namespace vornel
