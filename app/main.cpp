// The vornel command: vornel Name ClustNb MedianNb IterNB [--seed S]

#include "app/CommandLine.hpp"
#include "app/MemoryReuse.hpp"
#include "app/SignalCleanup.hpp"
#include "app/VerboseReport.hpp"
#include "core/Errors.hpp"
#include "estimation/Matrix.hpp"
#include "pipeline/FileRun.hpp"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

void printError(const std::string& message) {
  std::fprintf(stderr, "vornel: %s\n", message.c_str());
}

int runCommand(const std::vector<std::string>& args) {
  const vornel::Command command = vornel::parseCommandLine(args);
  switch (command.kind) {
  case vornel::CommandKind::ShowUsage:
    std::fputs(vornel::usageText, stdout);
    return exitUsage;
  case vornel::CommandKind::ShowHelp:
    std::fputs(vornel::usageText, stdout);
    std::fputs(vornel::optionsText, stdout);
    return exitSuccess;
  case vornel::CommandKind::ShowVersion:
    std::fputs(vornel::versionText, stdout);
    return exitSuccess;
  case vornel::CommandKind::Run:
    break;
  }
  const auto warn = [](const std::string& message) { printError("warning: " + message); };
  vornel::VerboseReport verbose(stderr);
  vornel::RunReport* report = command.options.verbose ? &verbose : nullptr;
  try {
    vornel::runOnFiles(command.options, warn, report);
  } catch (const vornel::MissingMeshError& error) {
    std::fputs(vornel::missingFileMessage(error.path).c_str(), stdout);
    return exitFailure;
  }
  return exitSuccess;
}

} // namespace

int main(int argc, char** argv) {
  vornel::reuseFreedMemory();
  vornel::removeStagedFilesOnSignals();

  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return runCommand(args);
  } catch (const vornel::UsageError& error) {
    printError(error.what());
    return exitUsage;
  } catch (const vornel::OutputPathError& error) {
    printError(error.what());
    return exitUsage;
  } catch (const vornel::VornelError& error) {
    printError(error.what());
    return exitFailure;
  } catch (const std::bad_alloc&) {
    printError("out of memory");
    return exitFailure;
  } catch (const vornel::EError& error) {
    printError("internal error: " + error.message);
    return exitFailure;
  } catch (const std::exception& error) {
    printError(std::string("unexpected error: ") + error.what());
    return exitFailure;
  }
}
