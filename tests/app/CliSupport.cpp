#include "app/CliSupport.hpp"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace vornel::testing {

namespace fs = std::filesystem;

namespace {

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

} // namespace

CommandResult runVornel(const std::vector<std::string>& args, const std::string& workingFolder) {
  const TempFolder capture;
  const std::string outPath = capture.file("stdout");
  const std::string errPath = capture.file("stderr");
  std::string command = workingFolder.empty() ? "" : "cd " + shellQuote(workingFolder) + " && ";
  // A run that blocks (on a pipe, say) ends as a failure instead of a hung suite.
  command += "timeout 120 " + shellQuote(VORNEL_BINARY);
  for (const std::string& arg : args)
    command += " " + shellQuote(arg);
  command += " >" + shellQuote(outPath) + " 2>" + shellQuote(errPath) + " </dev/null";
  const int status = std::system(command.c_str());
  CommandResult result;
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

bool fileExists(const std::string& path) {
  return fs::exists(path);
}

std::string gridObj(int width, int height) {
  std::ostringstream obj;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      obj << "v " << x << ' ' << y << " 0\n";
  for (int y = 0; y + 1 < height; ++y)
    for (int x = 0; x + 1 < width; ++x) {
      const int a = y * width + x + 1; // OBJ indices start at 1
      const int b = a + 1, c = a + width, d = c + 1;
      obj << "f " << a << ' ' << b << ' ' << d << "\nf " << a << ' ' << d << ' ' << c << '\n';
    }
  return obj.str();
}

std::vector<int> stripeRegions(int width, int height, int regions) {
  std::vector<int> region;
  region.reserve(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      region.push_back(x * regions / width);
  return region;
}

std::string noisyAttributes(const std::vector<int>& regions, double spacing, double noise,
                            unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> gaussian(0.0, noise);
  std::ostringstream text;
  text.precision(9);
  for (int region : regions)
    text << region * spacing + gaussian(engine) << '\n';
  return text.str();
}

LabelFileContent parseLabelFile(const std::string& text) {
  std::istringstream in(text);
  LabelFileContent content;
  in >> content.classCount;
  for (int label; in >> label;)
    content.labels.push_back(label);
  return content;
}

double accuracy(const std::vector<int>& labels, const std::vector<int>& regions) {
  if (labels.size() != regions.size() || labels.empty())
    return 0.0;
  std::size_t agree = 0;
  for (std::size_t i = 0; i < labels.size(); ++i)
    agree += labels[i] == regions[i];
  return static_cast<double>(agree) / static_cast<double>(labels.size());
}

} // namespace vornel::testing
