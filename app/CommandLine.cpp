#include "app/CommandLine.hpp"

#include "mesh/Errors.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>

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
    "  --seed S   seed the random generator with S (a non-negative integer) instead of\n"
    "             the clock, so that a run can be repeated exactly\n"
    "  --help     print this text\n"
    "\nExit status: 0 on success, 1 when an input or output file is at fault,\n"
    "2 when the command line is.\n";

namespace {

constexpr int maxClassCount = 256;

unsigned parseSeed(const std::string& text) {
  const bool allDigits =
      !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  errno = 0;
  const unsigned long long value = allDigits ? std::strtoull(text.c_str(), nullptr, 10) : 0;
  if (!allDigits || errno == ERANGE || value > UINT_MAX)
    throw UsageError("--seed needs a non-negative integer below 2^32, got \"" + text + "\"");
  return static_cast<unsigned>(value);
}

void parseOptions(const std::vector<std::string>& args, RunOptions& options) {
  for (std::size_t i = 4; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
      continue; // stray words after the four arguments are ignored
    if (arg == "--seed") {
      if (i + 1 >= args.size())
        throw UsageError("--seed needs a value");
      options.segmentation.seed = parseSeed(args[++i]);
    } else {
      throw UsageError("unknown option \"" + arg + "\" (see vornel --help)");
    }
  }
}

} // namespace

int parseIntegerArgument(const std::string& text, const std::string& what) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(begin, &end, 0);
  const bool whole = end != begin && *end == '\0';
  if (!whole || errno == ERANGE || value < INT_MIN || value > INT_MAX)
    throw UsageError(what + " must be a whole number, got \"" + text + "\"");
  return static_cast<int>(value);
}

Command parseCommandLine(const std::vector<std::string>& args) {
  Command command;
  if (!args.empty() && args[0] == "--help") {
    command.kind = CommandKind::ShowHelp;
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
    throw UsageError("ClustNb must lie between 1 and 256, got " + std::to_string(classCount));
  parseOptions(args, options);
  return command;
}

} // namespace vornel
