#pragma once
// Turning the command line into RunOptions.

#include "pipeline/Options.hpp"

#include <string>
#include <vector>

namespace vornel {

/// The text printed when fewer than four arguments are given.
extern const char* const usageText;
/// The options, printed after the usage text by --help.
extern const char* const optionsText;
/// The answer to --version.
extern const char* const versionText;

/// The message printed on standard output when the mesh file does not exist.
std::string missingFileMessage(const std::string& path);

enum class CommandKind { Run, ShowUsage, ShowHelp, ShowVersion };

struct Command {
  CommandKind kind = CommandKind::Run;
  RunOptions options;
};

/// args excludes the program name. Throws UsageError for an argument that is
/// not a whole number in "%i" syntax, a ClustNb outside 1 .. 256, an unknown
/// option, an option without its value, or a schedule value out of range.
Command parseCommandLine(const std::vector<std::string>& args);

/// Converts text the way "%i" does (white space around it, optional sign; 0x
/// hexadecimal, leading-0 octal, decimal otherwise), but only when the text is
/// wholly that number and it fits an int. Throws UsageError naming `what` otherwise.
int parseIntegerArgument(const std::string& text, const std::string& what);

} // namespace vornel
