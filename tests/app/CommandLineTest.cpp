#include "app/CommandLine.hpp"
#include "core/Errors.hpp"
#include "pipeline/FileNames.hpp"

#include <gtest/gtest.h>

namespace vornel {
namespace {

TEST(IntegerArgument, FollowsPercentISyntax) {
  EXPECT_EQ(parseIntegerArgument("3", "ClustNb"), 3);
  EXPECT_EQ(parseIntegerArgument("010", "ClustNb"), 8);
  EXPECT_EQ(parseIntegerArgument("0x10", "ClustNb"), 16);
  EXPECT_EQ(parseIntegerArgument("0X1f", "ClustNb"), 31);
  EXPECT_EQ(parseIntegerArgument("-1", "ClustNb"), -1);
  EXPECT_EQ(parseIntegerArgument("+7", "ClustNb"), 7);
  EXPECT_EQ(parseIntegerArgument("0", "ClustNb"), 0);
  // White space around a number is accepted on either side, as "%i" reads it.
  EXPECT_EQ(parseIntegerArgument(" 3", "ClustNb"), 3);
  EXPECT_EQ(parseIntegerArgument("3 ", "ClustNb"), 3);
  EXPECT_EQ(parseIntegerArgument("\t0x10\n", "ClustNb"), 16);
}

TEST(IntegerArgument, RejectsAnythingThatIsNotWhollyANumber) {
  for (const char* text : {"abc", "3x", "", "3.5", "0x", "09", "1e3", "2147483648", " ", "3 4"}) {
    try {
      parseIntegerArgument(text, "MedianNb");
      ADD_FAILURE() << "accepted \"" << text << "\"";
    } catch (const UsageError& error) {
      EXPECT_NE(std::string(error.what()).find("MedianNb"), std::string::npos);
    }
  }
}

TEST(CommandLineParsing, FewerThanFourArgumentsShowTheUsage) {
  EXPECT_EQ(parseCommandLine({}).kind, CommandKind::ShowUsage);
  EXPECT_EQ(parseCommandLine({"a.obj", "3", "3"}).kind, CommandKind::ShowUsage);
  EXPECT_EQ(parseCommandLine({"--help"}).kind, CommandKind::ShowHelp);
}

TEST(CommandLineParsing, ReadsTheFourArgumentsAndTheSeed) {
  const Command command = parseCommandLine({"mesh.obj", "0x3", "010", "50", "--seed", "42"});
  ASSERT_EQ(command.kind, CommandKind::Run);
  EXPECT_EQ(command.options.meshPath, "mesh.obj");
  EXPECT_EQ(command.options.segmentation.classCount, 3);
  EXPECT_EQ(command.options.segmentation.filterPasses, 8);
  EXPECT_EQ(command.options.segmentation.sweepCount, 50);
  ASSERT_TRUE(command.options.segmentation.seed.has_value());
  EXPECT_EQ(*command.options.segmentation.seed, 42u);
  EXPECT_FALSE(parseCommandLine({"m.obj", "3", "3", "50"}).options.segmentation.seed.has_value());
}

TEST(CommandLineParsing, RejectsBadClassCountsAndOptions) {
  EXPECT_THROW(parseCommandLine({"m.obj", "0", "3", "50"}), UsageError);
  EXPECT_THROW(parseCommandLine({"m.obj", "-1", "3", "50"}), UsageError);
  EXPECT_THROW(parseCommandLine({"m.obj", "257", "3", "50"}), UsageError);
  EXPECT_NO_THROW(parseCommandLine({"m.obj", "256", "3", "50"}));
  EXPECT_THROW(parseCommandLine({"m.obj", "3", "3", "50", "--sede", "1"}), UsageError);
  EXPECT_THROW(parseCommandLine({"m.obj", "3", "3", "50", "--seed"}), UsageError);
  EXPECT_THROW(parseCommandLine({"m.obj", "3", "3", "50", "--seed", "-1"}), UsageError);
  EXPECT_THROW(parseCommandLine({"m.obj", "3", "3", "50", "--seed", "4294967296"}), UsageError);
  EXPECT_THROW(parseCommandLine({"m.obj", "3", "3", "50", "--seed", "1 2"}), UsageError);
}

TEST(CommandLineParsing, StrayWordsAfterTheFourArgumentsAreUsageErrors) {
  const auto messageFor = [](const std::vector<std::string>& extra) {
    std::vector<std::string> args{"m.obj", "3", "3", "50"};
    args.insert(args.end(), extra.begin(), extra.end());
    try {
      parseCommandLine(args);
    } catch (const UsageError& error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  // A single dash suggests the option the user most likely meant.
  EXPECT_NE(messageFor({"-seed", "7", "-refine"}).find("\"-seed\" (did you mean --seed?"),
            std::string::npos);
  EXPECT_NE(messageFor({"--refine", "-refine"}).find("did you mean --refine?"), std::string::npos);
  // A bare word, before or after options, is named.
  EXPECT_NE(messageFor({"extra", "--seed", "1"}).find("\"extra\""), std::string::npos);
  EXPECT_NE(messageFor({"--seed", "1", "7"}).find("\"7\""), std::string::npos);
  EXPECT_NE(messageFor({"-"}).find("\"-\""), std::string::npos);
  EXPECT_NE(messageFor({""}).find("\"\""), std::string::npos);
}

TEST(CommandLineParsing, EveryNumberMayCarryWhiteSpaceAround) {
  const Command command = parseCommandLine(
      {"m.obj", " 3", "3 ", "\t50\n", "--seed", " 1", "--temperature", " 2 ", "--cooling", "0.5 "});
  EXPECT_EQ(command.options.segmentation.classCount, 3);
  EXPECT_EQ(command.options.segmentation.filterPasses, 3);
  EXPECT_EQ(command.options.segmentation.sweepCount, 50);
  EXPECT_EQ(*command.options.segmentation.seed, 1u);
  EXPECT_EQ(*command.options.segmentation.initialTemperature, 2.0);
  EXPECT_EQ(*command.options.segmentation.coolingFactor, 0.5);
  EXPECT_EQ(
      *parseCommandLine({"m.obj", "3", "3", "50", "--seed", "0x10"}).options.segmentation.seed,
      16u);
}

TEST(CommandLineParsing, ReadsTheScheduleAndOutputOptions) {
  const Command command =
      parseCommandLine({"m.obj", "3", "3", "50", "--temperature", "2.5", "--cooling", "1",
                        "--color-mesh", "out.PLY", "--verbose", "--repair", "--refine"});
  const RunOptions& options = command.options;
  EXPECT_EQ(options.segmentation.initialTemperature, 2.5);
  EXPECT_EQ(options.segmentation.coolingFactor, 1.0);
  EXPECT_EQ(options.colourMeshPath, "out.PLY");
  EXPECT_TRUE(options.verbose);
  EXPECT_TRUE(options.repair);
  EXPECT_TRUE(options.segmentation.refine);
  EXPECT_EQ(parseCommandLine({"--version"}).kind, CommandKind::ShowVersion);
  EXPECT_FALSE(parseCommandLine({"m.obj", "3", "3", "50"}).options.segmentation.initialTemperature);
}

TEST(CommandLineParsing, RejectsScheduleValuesOutOfRange) {
  for (const std::vector<std::string>& extra : {std::vector<std::string>{"--temperature", "0"},
                                                {"--temperature", "-1"},
                                                {"--temperature", "hot"},
                                                {"--temperature", "inf"},
                                                {"--cooling", "0"},
                                                {"--cooling", "1.01"},
                                                {"--cooling", "0.5x"},
                                                {"--colour-mesh", "out.obj"},
                                                {"--colour-mesh"}}) {
    std::vector<std::string> args{"m.obj", "3", "3", "50"};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_THROW(parseCommandLine(args), UsageError) << extra[0];
  }
}

TEST(CompanionFileNames, BaseIsThePathUpToTheLastDotOfItsFileName) {
  EXPECT_EQ(deriveCompanionFiles("data/dino.obj").attributeFile, "data/dino_attribute.att");
  EXPECT_EQ(deriveCompanionFiles("data/dino.obj").labelFile, "data/dino_labels.lb");
  // The companions stay in the mesh's folder, whatever dots the folders hold.
  EXPECT_EQ(deriveCompanionFiles("data.v2/mesh").attributeFile, "data.v2/mesh_attribute.att");
  EXPECT_EQ(deriveCompanionFiles("data.v2/mesh").labelFile, "data.v2/mesh_labels.lb");
  EXPECT_EQ(deriveCompanionFiles("./mesh").labelFile, "./mesh_labels.lb");
  EXPECT_EQ(deriveCompanionFiles("mesh").attributeFile, "mesh_attribute.att");
  EXPECT_EQ(deriveCompanionFiles("mesh").labelFile, "mesh_labels.lb");
  EXPECT_EQ(deriveCompanionFiles("a.b.off").labelFile, "a.b_labels.lb");
  EXPECT_EQ(deriveCompanionFiles("d.x/a.b.off").labelFile, "d.x/a.b_labels.lb");
  const std::string longBase(2000, 'x');
  EXPECT_EQ(deriveCompanionFiles(longBase + ".obj").attributeFile, longBase + "_attribute.att");
}

} // namespace
} // namespace vornel
