// --threads: every output of a run is the same bytes for any thread count, the
// count is checked like the other numbers, and --verbose says how many ran.

#include "app/CliSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace vornel::testing {
namespace {

/// The grid of gridObj with heights, so that its curvature varies.
std::string wavyGridObj(int side) {
  std::istringstream flat(gridObj(side, side));
  std::ostringstream wavy;
  std::string line;
  while (std::getline(flat, line)) {
    std::istringstream words(line);
    std::string kind;
    double x = 0.0;
    double y = 0.0;
    if (words >> kind >> x >> y && kind == "v")
      wavy << "v " << x << ' ' << y << ' ' << 3.0 * std::sin(x / 6.0) * std::cos(y / 9.0) << '\n';
    else
      wavy << line << '\n';
  }
  return wavy.str();
}

/// A wavy 110 x 110 grid (more vertices than one block of parallel work) with
/// five noisy stripes.
struct StripedGrid {
  StripedGrid() {
    writeFile(mesh, wavyGridObj(side));
    writeFile(folder.file("grid_attribute.att"),
              noisyAttributes(stripeRegions(side, side, 5), 1.0, 0.45, 17));
  }
  static constexpr int side = 110;
  TempFolder folder;
  std::string mesh = folder.file("grid.obj");
};

/// The bytes of every file a run writes.
struct RunOutputs {
  std::string labels;
  std::string colouredMesh;
  std::string computedValues;
  std::string messages; // standard output and standard error without the verbose timings
};

RunOutputs runWithThreads(const StripedGrid& input, std::vector<std::string> args,
                          unsigned threads) {
  const std::string tag = std::to_string(threads);
  const std::string labels = input.folder.file("labels" + tag + ".lb");
  const std::string coloured = input.folder.file("coloured" + tag + ".ply");
  args.insert(args.begin(), input.mesh);
  args.insert(args.end(), {"--seed", "7", "--labels-file", labels, "--colour-mesh", coloured,
                           "--threads", tag});
  const bool computing = std::find(args.begin(), args.end(), "--compute-attribute") != args.end();
  const std::string values = input.folder.file("values" + tag + ".att");
  if (computing)
    args.insert(args.end(), {"--attribute-file", values});
  const CommandResult result = runVornel(args);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  return {readFile(labels), readFile(coloured), computing ? readFile(values) : std::string(),
          result.out + result.err};
}

TEST(ThreadCount, EveryOutputIsTheSameForOneTwoThreeAndEightThreads) {
  const StripedGrid input;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"5", "3", "50"},
        std::vector<std::string>{"5", "3", "30", "--refine"},
        std::vector<std::string>{"2", "2", "40"},
        std::vector<std::string>{"3", "1", "20", "--compute-attribute", "mean-curvature"}}) {
    const RunOutputs reference = runWithThreads(input, args, 1);
    ASSERT_FALSE(reference.labels.empty());
    ASSERT_FALSE(reference.colouredMesh.empty());
    for (const unsigned threads : {2u, 3u, 8u}) {
      const RunOutputs outputs = runWithThreads(input, args, threads);
      EXPECT_EQ(outputs.labels, reference.labels) << args[0] << " classes, " << threads;
      EXPECT_EQ(outputs.colouredMesh, reference.colouredMesh) << threads << " threads";
      EXPECT_EQ(outputs.computedValues, reference.computedValues) << threads << " threads";
      EXPECT_EQ(outputs.messages, reference.messages) << threads << " threads";
    }
  }
}

TEST(ThreadCount, VerboseSaysHowManyThreadsRan) {
  const StripedGrid input;
  const CommandResult result =
      runVornel({input.mesh, "3", "3", "10", "--seed", "1", "--threads", "1", "--verbose"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("vornel: 1 thread\n"), std::string::npos) << result.err;
}

TEST(ThreadCount, AnythingButAPositiveWholeNumberIsAUsageError) {
  const StripedGrid input;
  for (const std::string threads : {"0", "-2", "two", "1.5", "", "4097"}) {
    const CommandResult result = runVornel({input.mesh, "3", "3", "10", "--threads", threads});
    EXPECT_EQ(result.exitStatus, 2) << threads;
    EXPECT_NE(result.err.find("vornel: --threads needs a whole number from 1 to 4096, got \"" +
                              threads + "\""),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(fileExists(input.folder.file("grid_labels.lb")));
  }
  EXPECT_EQ(runVornel({input.mesh, "3", "3", "10", "--threads"}).exitStatus, 2);
}

} // namespace
} // namespace vornel::testing
