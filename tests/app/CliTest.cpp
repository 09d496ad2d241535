// Runs the built vornel binary on generated files.

#include "app/CliSupport.hpp"
#include "app/CommandLine.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace vornel::testing {
namespace {

/// A side x side grid with three stripes of means 0, 1 and 2.
struct ThreeRegionMesh {
  explicit ThreeRegionMesh(double noise, unsigned seed = 5, int side = 30) {
    writeFile(mesh, gridObj(side, side));
    regions = stripeRegions(side, side, 3);
    writeFile(folder.file("grid_attribute.att"), noisyAttributes(regions, 1.0, noise, seed));
  }
  TempFolder folder;
  std::string mesh = folder.file("grid.obj");
  std::string labels = folder.file("grid_labels.lb");
  std::vector<int> regions;
};

TEST(CommandLineRun, TooFewArgumentsPrintTheUsageAndExitTwo) {
  const CommandResult result = runVornel({"a.obj", "3"});
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_EQ(result.out, usageText);
  EXPECT_TRUE(result.err.empty());
}

TEST(CommandLineRun, HelpListsTheOptions) {
  const CommandResult result = runVornel({"--help"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out.rfind(usageText, 0), 0u);
  EXPECT_NE(result.out.find("--seed"), std::string::npos);
}

TEST(CommandLineRun, MissingMeshFilePrintsTheMessageAndWritesNothing) {
  TempFolder folder;
  const std::string mesh = folder.file("absent.obj");
  const CommandResult result = runVornel({mesh, "3", "3", "50"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "The file " + mesh + " n'existe pas!does not exist\n\n");
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(CommandLineRun, UsageErrorsNameTheArgumentAndExitTwo) {
  ThreeRegionMesh input(0.1);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{input.mesh, "3x", "3", "50"},
        {input.mesh, "257", "3", "50"},
        {input.mesh, "abc", "3", "50"},
        {input.mesh, "3", "3", "50", "--bogus"}}) {
    const CommandResult result = runVornel(args);
    EXPECT_EQ(result.exitStatus, 2) << args[1];
    EXPECT_EQ(result.err.rfind("vornel: ", 0), 0u) << result.err;
    EXPECT_FALSE(fileExists(input.labels));
  }
}

TEST(CommandLineRun, SuccessfulRunIsQuietAndWritesTheLabelFile) {
  ThreeRegionMesh input(0.3);
  const CommandResult result = runVornel({input.mesh, "3", "3", "50", "--seed", "1"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_TRUE(result.err.empty()) << result.err;
  const std::string text = readFile(input.labels);
  ASSERT_EQ(text.substr(0, 3), "3 \t");
  EXPECT_EQ(text.substr(text.size() - 2), " \t");
  EXPECT_EQ(text.find('\n'), std::string::npos);
  const LabelFileContent content = parseLabelFile(text);
  EXPECT_EQ(content.classCount, 3);
  EXPECT_EQ(content.labels.size(), input.regions.size());
}

TEST(CommandLineRun, KMeansAndFilterRecoverRegionsNumberedByIncreasingMean) {
  ThreeRegionMesh input(0.3);
  ASSERT_EQ(runVornel({input.mesh, "3", "3", "0", "--seed", "1"}).exitStatus, 0);
  const LabelFileContent content = parseLabelFile(readFile(input.labels));
  // Region r has mean r, so classes numbered by increasing mean match the regions.
  EXPECT_GT(accuracy(content.labels, input.regions), 0.97);
}

TEST(CommandLineRun, SameSeedGivesIdenticalLabelFiles) {
  ThreeRegionMesh input(0.8);
  ASSERT_EQ(runVornel({input.mesh, "3", "3", "20", "--seed", "9"}).exitStatus, 0);
  const std::string first = readFile(input.labels);
  ASSERT_EQ(runVornel({input.mesh, "3", "3", "20", "--seed", "9"}).exitStatus, 0);
  EXPECT_EQ(readFile(input.labels), first);
}

TEST(CommandLineRun, FullRunIsMoreAccurateThanKMeansAloneOnNoisyData) {
  double kmeansOnly = 0.0, fullRun = 0.0;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    ThreeRegionMesh input(0.8, seed, 60);
    const std::string seedText = std::to_string(seed);
    ASSERT_EQ(runVornel({input.mesh, "3", "0", "0", "--seed", seedText}).exitStatus, 0);
    kmeansOnly += accuracy(parseLabelFile(readFile(input.labels)).labels, input.regions);
    ASSERT_EQ(runVornel({input.mesh, "3", "3", "50", "--seed", seedText}).exitStatus, 0);
    fullRun += accuracy(parseLabelFile(readFile(input.labels)).labels, input.regions);
  }
  EXPECT_GT(fullRun / 3, kmeansOnly / 3 + 0.08) << "k-means alone " << kmeansOnly / 3;
}

TEST(CommandLineRun, VerboseReportsEveryStageOnStandardErrorOnly) {
  ThreeRegionMesh input(0.3);
  const CommandResult quiet = runVornel({input.mesh, "3", "3", "5", "--seed", "2"});
  const std::string quietLabels = readFile(input.labels);
  const CommandResult verbose = runVornel({input.mesh, "3", "3", "5", "--seed", "2", "--verbose"});
  EXPECT_EQ(verbose.exitStatus, 0);
  EXPECT_TRUE(verbose.out.empty());
  EXPECT_EQ(readFile(input.labels), quietLabels) << "the report must not change the result";
  for (const char* needle : {"900 vertices", "k-means done", "classes after k-means",
                             "beta = ", "sweep 5 (greedy) at T = ", "classes final", "total"})
    EXPECT_NE(verbose.err.find(needle), std::string::npos) << needle << "\n" << verbose.err;
  EXPECT_TRUE(quiet.err.empty());
}

TEST(CommandLineRun, SeededRefinedRunsRepeatByteForByteAndReportTheirRounds) {
  ThreeRegionMesh input(1.0, 9, 40);
  ASSERT_EQ(runVornel({input.mesh, "3", "3", "30", "--refine", "--seed", "6"}).exitStatus, 0);
  const std::string first = readFile(input.labels);
  const CommandResult verbose =
      runVornel({input.mesh, "3", "3", "30", "--refine", "--seed", "6", "--verbose"});
  ASSERT_EQ(verbose.exitStatus, 0);
  EXPECT_EQ(readFile(input.labels), first);
  for (const char* needle : {"round 1 annealing: 30 cooling sweeps, then ",
                             "round 2, sweep 1 at T = 1:", " greedy (", "round 2: beta = "})
    EXPECT_NE(verbose.err.find(needle), std::string::npos) << needle << "\n" << verbose.err;
  ASSERT_EQ(runVornel({input.mesh, "3", "3", "30", "--refine", "--seed", "7"}).exitStatus, 0);
  EXPECT_NE(readFile(input.labels), first) << "another seed, other draws";
}

TEST(CommandLineRun, ScheduleOptionsChangeTheRunAndVersionAnswers) {
  ThreeRegionMesh input(0.8);
  ASSERT_EQ(runVornel({input.mesh, "3", "3", "20", "--seed", "4"}).exitStatus, 0);
  const std::string standard = readFile(input.labels);
  ASSERT_EQ(runVornel({input.mesh, "3", "3", "20", "--seed", "4", "--temperature", "4", "--cooling",
                       "0.97"})
                .exitStatus,
            0);
  EXPECT_EQ(readFile(input.labels), standard) << "the defaults are 4 and 0.97";
  ASSERT_EQ(
      runVornel({input.mesh, "3", "3", "20", "--seed", "4", "--temperature", "0.5"}).exitStatus, 0);
  EXPECT_NE(readFile(input.labels), standard);
  const CommandResult version = runVornel({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out.rfind("vornel ", 0), 0u);
}

TEST(CommandLineRun, OneClassLabelsEveryVertexZero) {
  ThreeRegionMesh input(0.3);
  ASSERT_EQ(runVornel({input.mesh, "1", "3", "50"}).exitStatus, 0);
  std::string expected = "1 \t";
  for (std::size_t i = 0; i < input.regions.size(); ++i)
    expected += "0 \t";
  EXPECT_EQ(readFile(input.labels), expected);
}

TEST(CommandLineRun, FailuresLeaveAnExistingLabelFileUntouched) {
  ThreeRegionMesh input(0.3);
  writeFile(input.labels, "previous");
  writeFile(input.folder.file("grid_attribute.att"), "1 2 3\n");
  CommandResult result = runVornel({input.mesh, "3", "3", "50"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("grid_attribute.att"), std::string::npos) << result.err;
  EXPECT_EQ(readFile(input.labels), "previous");

  writeFile(input.folder.file("grid_attribute.att"), "");
  result = runVornel({input.mesh, "3", "3", "50"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(readFile(input.labels), "previous");
}

TEST(CommandLineRun, MoreClassesThanVerticesIsAnError) {
  TempFolder folder;
  writeFile(folder.file("tri.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  writeFile(folder.file("tri_attribute.att"), "1\n2\n3\n");
  const CommandResult result = runVornel({folder.file("tri.obj"), "4", "3", "50"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("4"), std::string::npos);
  EXPECT_FALSE(fileExists(folder.file("tri_labels.lb")));
}

TEST(CommandLineRun, UnwritableLabelFileIsAnError) {
  ThreeRegionMesh input(0.3);
  // A folder in the label file's place cannot be replaced, even by root.
  std::filesystem::create_directory(input.labels);
  const CommandResult result = runVornel({input.mesh, "3", "3", "5"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("grid_labels.lb"), std::string::npos) << result.err;
  EXPECT_TRUE(std::filesystem::is_directory(input.labels));
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(input.folder.path()))
    entries += entry.exists();
  EXPECT_EQ(entries, 3u) << "a temporary file was left behind";
}

} // namespace
} // namespace vornel::testing
