// What a run promises about its outputs: they are all written or none is; a
// failed run leaves every existing output byte for byte as it was; an existing
// output is replaced, never written through a link; no output may be an input
// or another output; and no temporary file is left behind. These tests run as
// root in CI, so none of them relies on permissions.

#include "app/CliSupport.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace vornel::testing {
namespace {

namespace fs = std::filesystem;

const std::string squareObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n";
const std::string squareOff = "OFF\n4 2 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n";
const std::string squarePly = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
                              "property float y\nproperty float z\nelement face 2\n"
                              "property list uchar int vertex_indices\nend_header\n"
                              "0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n";

class OutputSafety : public ::testing::Test {
protected:
  void SetUp() override {
    for (const auto& [name, text] : {std::pair{"m.obj", squareObj}, std::pair{"m.off", squareOff},
                                     std::pair{"m.ply", squarePly}})
      writeFile(folder.file(name), text);
    writeFile(folder.file("m_attribute.att"), "0 0.1 5 5.1");
  }

  CommandResult run(const std::vector<std::string>& args) {
    return runVornel(args, folder.path().string());
  }

  /// Every file in the folder with its bytes.
  std::set<std::pair<std::string, std::string>> snapshot() const {
    std::set<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::directory_iterator(folder.path()))
      if (entry.is_regular_file() && !entry.is_symlink())
        files.emplace(entry.path().filename().string(), readFile(entry.path().string()));
    return files;
  }

  void expectNoTemporaryFiles() const {
    for (const auto& entry : fs::directory_iterator(folder.path()))
      EXPECT_EQ(entry.path().filename().string().rfind(".vornel", 0), std::string::npos)
          << entry.path();
  }

  TempFolder folder;
};

TEST_F(OutputSafety, FailedRunLeavesEveryExistingOutputUntouched) {
  writeFile(folder.file("m_labels.lb"), "old labels");
  fs::create_directory(folder.file("folder.ply"));
  const auto before = snapshot();
  // The coloured mesh cannot be written (it names a folder): the run must not
  // put the label file in place first.
  const CommandResult result = run({"m.obj", "2", "0", "0", "--colour-mesh", "folder.ply"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("folder.ply: it is a folder"), std::string::npos) << result.err;
  EXPECT_EQ(snapshot(), before);
  // A mesh the reader refuses: nothing is written either.
  writeFile(folder.file("bad.obj"), "v 0 0 0\nf 1 2 3\n");
  writeFile(folder.file("bad_labels.lb"), "old");
  const auto beforeBad = snapshot();
  EXPECT_EQ(run({"bad.obj", "2", "0", "0", "--colour-mesh", "bad.ply"}).exitStatus, 1);
  EXPECT_EQ(snapshot(), beforeBad);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, OutputThatIsAnInputIsAUsageError) {
  const auto before = snapshot();
  for (const std::string mesh : {"m.off", "m.ply", "m.obj"}) {
    for (const std::string& spelling : {mesh, "./" + mesh, folder.file(mesh)}) {
      const std::string ending = mesh.substr(mesh.size() - 3) == "obj" ? "m.ply" : spelling;
      if (ending != spelling)
        continue; // an OBJ input cannot be named as a coloured mesh (.ply or .off)
      const CommandResult result = run({mesh, "2", "0", "0", "--colour-mesh", spelling});
      EXPECT_EQ(result.exitStatus, 2) << spelling << ": " << result.err;
      EXPECT_NE(result.err.find("must not replace an input"), std::string::npos) << result.err;
    }
  }
  // The attribute file as the label file, through a symbolic link.
  fs::create_symlink("m_attribute.att", folder.file("link.lb"));
  const CommandResult linked = run({"m.obj", "2", "0", "0", "--labels-file", "link.lb"});
  EXPECT_EQ(linked.exitStatus, 2) << linked.err;
  // Two outputs that are one file.
  const CommandResult twice =
      run({"m.obj", "2", "0", "0", "--labels-file", "out.ply", "--colour-mesh", "./out.ply"});
  EXPECT_EQ(twice.exitStatus, 2) << twice.err;
  EXPECT_NE(twice.err.find("every output needs a file of its own"), std::string::npos);
  EXPECT_EQ(snapshot(), before);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, ExistingOutputsAreReplacedNotWrittenThrough) {
  // The label file is a hard link to another file, the coloured mesh a
  // symbolic link to a third: both targets must keep their bytes.
  writeFile(folder.file("keep-hard.txt"), "hard");
  writeFile(folder.file("keep-soft.txt"), "soft");
  fs::create_hard_link(folder.file("keep-hard.txt"), folder.file("m_labels.lb"));
  fs::create_symlink("keep-soft.txt", folder.file("coloured.ply"));
  const CommandResult result = run({"m.obj", "2", "0", "0", "--colour-mesh", "coloured.ply"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(readFile(folder.file("keep-hard.txt")), "hard");
  EXPECT_EQ(readFile(folder.file("keep-soft.txt")), "soft");
  EXPECT_EQ(readFile(folder.file("m_labels.lb")), "2 \t0 \t0 \t1 \t1 \t");
  EXPECT_FALSE(fs::is_symlink(folder.file("coloured.ply")));
  EXPECT_EQ(readFile(folder.file("coloured.ply")).rfind("ply\n", 0), 0u);
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, TemporaryNamesFitWhereverTheFinalNameFits) {
  // A 241-character base gives a 251-character label name, just below the
  // 255-character limit of a file name.
  const std::string base(241, 'b');
  writeFile(folder.file(base + ".obj"), squareObj);
  writeFile(folder.file(base + "_attribute.att"), "0 0.1 5 5.1");
  const CommandResult result = run({base + ".obj", "2", "0", "0"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(readFile(folder.file(base + "_labels.lb")), "2 \t0 \t0 \t1 \t1 \t");
  expectNoTemporaryFiles();
}

TEST_F(OutputSafety, LabelsFileInAMissingFolderFailsBeforeAnyWork) {
  writeFile(folder.file("m_labels.lb"), "old");
  const auto before = snapshot();
  const CommandResult result = run({"m.obj", "2", "0", "0", "--labels-file", "nowhere/l.lb"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("cannot write label file nowhere/l.lb: No such file or directory"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(snapshot(), before);
}

} // namespace
} // namespace vornel::testing
