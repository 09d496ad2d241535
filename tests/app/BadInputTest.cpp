// What the command line answers to broken or hostile input: a clear message
// naming the problem, a non-zero exit status and no label file.

#include "app/CliSupport.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace vornel::testing {
namespace {

const std::string triangleObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n";
const std::string twoTriangleValues = "0.1\n0.2\n5.1\n5.3\n";

/// A folder with a mesh file and its attribute file.
class BadInput : public ::testing::Test {
protected:
  std::string write(const std::string& meshName, const std::string& meshText,
                    const std::string& values = twoTriangleValues) {
    const std::string mesh = folder.file(meshName);
    writeFile(mesh, meshText);
    const std::string base = mesh.substr(0, mesh.rfind('.'));
    writeFile(base + "_attribute.att", values);
    return mesh;
  }

  /// Runs vornel and checks a failure with the given status whose message
  /// contains `needle`, and that no label file appeared.
  void expectFailure(const std::vector<std::string>& args, int status, const std::string& needle) {
    const CommandResult result = runVornel(args, folder.path().string());
    EXPECT_EQ(result.exitStatus, status) << args[0] << "\n" << result.err;
    EXPECT_NE(result.err.find(needle), std::string::npos)
        << "message should name \"" << needle << "\": " << result.err;
    EXPECT_EQ(result.err.rfind("vornel: ", 0), 0u) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      EXPECT_EQ(entry.path().string().find("_labels.lb"), std::string::npos) << entry.path();
  }

  void expectSuccess(const std::vector<std::string>& args) {
    const CommandResult result = runVornel(args, folder.path().string());
    EXPECT_EQ(result.exitStatus, 0) << result.err;
  }

  TempFolder folder;
};

TEST_F(BadInput, EmptyTruncatedAndGarbageMeshFiles) {
  expectFailure({write("empty.obj", ""), "2", "3", "5"}, 1, "empty.obj");
  expectFailure({write("empty.off", ""), "2", "3", "5"}, 1, "empty.off");
  expectFailure({write("cut.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 2 4"), "2", "3", "5"}, 1,
                "cut.obj");
  const std::string garbage("\x7f\x45\x4c\x46\x02\x01\x00\xff\xfe\x80\x81 binary \x00\x01", 20);
  expectFailure({write("garbage.obj", garbage), "2", "3", "5"}, 1, "garbage.obj");
  expectFailure({write("garbage.off", garbage), "2", "3", "5"}, 1, "garbage.off");
}

TEST_F(BadInput, MalformedOffFiles) {
  expectFailure({write("header.off", "FOO\n4 2 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n"),
                 "2", "3", "5"},
                1, "header.off");
  expectFailure({write("range.off", "OFF\n4 2 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 9 2\n"),
                 "2", "3", "5"},
                1, "range.off");
  // A header claiming far more than the file holds must fail fast, without
  // allocating for the claim.
  expectFailure({write("huge.off", "OFF\n2000000000 2000000000 0\n0 0 0\n"), "2", "3", "5"}, 1,
                "huge.off");
}

TEST_F(BadInput, BadObjFacetsNameTheirLine) {
  const std::string vertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n";
  expectFailure({write("range.obj", vertices + "f 1 2 3\nf 2 9 3\n"), "2", "3", "5"}, 1,
                "range.obj:6");
  expectFailure({write("zero.obj", vertices + "f 0 2 3\n"), "2", "3", "5"}, 1, "zero.obj:5");
  expectFailure({write("word.obj", vertices + "f 1 2 x\n"), "2", "3", "5"}, 1, "word.obj:5");
  expectFailure({write("short.obj", vertices + "f 1 2\n"), "2", "3", "5"}, 1, "short.obj:5");
}

TEST_F(BadInput, FacetsTheHalfedgeStructureCannotHold) {
  // Three triangles on one edge.
  const std::string fin = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\n"
                          "f 1 2 3\nf 2 1 4\nf 1 2 5\n";
  expectFailure({write("fin.obj", fin, "1 2 3 4 5"), "2", "3", "5"}, 1, "fin.obj:8");
  // The second triangle runs the shared edge the same way as the first.
  const std::string flipped = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 3 4\n";
  expectFailure({write("flipped.obj", flipped), "2", "3", "5"}, 1, "flipped.obj:6");
}

TEST_F(BadInput, BadAttributeFiles) {
  const std::string mesh = write("m.obj", triangleObj);
  const std::string values = folder.file("m_attribute.att");
  std::filesystem::remove(values);
  expectFailure({mesh, "2", "3", "5"}, 1, "m_attribute.att");
  for (const std::string& text : {std::string(""), std::string("1 2 3"), std::string("1 2 x 4"),
                                  std::string("1 nan 2 3"), std::string("1 2 inf 3")}) {
    writeFile(values, text);
    expectFailure({mesh, "2", "3", "5"}, 1, "m_attribute.att");
  }
}

TEST_F(BadInput, BadClassCounts) {
  const std::string mesh = write("m.obj", triangleObj);
  expectFailure({mesh, "0", "3", "5"}, 2, "ClustNb");
  expectFailure({mesh, "-1", "3", "5"}, 2, "ClustNb");
  expectFailure({mesh, "257", "3", "5"}, 2, "ClustNb");
  expectFailure({mesh, "abc", "3", "5"}, 2, "abc");
  expectFailure({mesh, "3x", "3", "5"}, 2, "3x");
  expectFailure({mesh, "2", "3y", "5"}, 2, "MedianNb");
  expectFailure({mesh, "5", "3", "5"}, 1, "5");
}

TEST_F(BadInput, ValuesThatCannotMakeTheClasses) {
  expectFailure({write("few.obj", triangleObj, "1 1 2 2"), "3", "3", "5"}, 1, "distinct");
  expectFailure({write("flat.obj", triangleObj, "7 7 7 7"), "2", "3", "5"}, 1, "distinct");
  expectSuccess({write("one.obj", triangleObj, "7 7 7 7"), "1", "3", "5"});
  EXPECT_EQ(readFile(folder.file("one_labels.lb")), "1 \t0 \t0 \t0 \t0 \t");
}

TEST_F(BadInput, DegenerateButValidMeshesRun) {
  const std::string coincident = "v 1 1 1\nv 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\nf 2 4 3\n";
  expectSuccess({write("point.obj", coincident), "2", "3", "5"});
  EXPECT_EQ(parseLabelFile(readFile(folder.file("point_labels.lb"))).labels.size(), 4u);

  const std::string isolated = triangleObj + "v 5 5 5\n";
  expectSuccess(
      {write("lonely.obj", isolated, "0.1 0.2 5.1 5.3 5.2"), "2", "3", "20", "--seed", "3"});
  const LabelFileContent content = parseLabelFile(readFile(folder.file("lonely_labels.lb")));
  ASSERT_EQ(content.labels.size(), 5u);
  EXPECT_EQ(content.labels[4], 1) << "an isolated vertex keeps the class of its own value";
}

TEST_F(BadInput, PathsWithoutADotAndVeryLongPaths) {
  // No dot anywhere: the file name is its own base.
  writeFile(folder.file("plainmesh"), "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
  writeFile(folder.file("plainmesh_attribute.att"), "1 2 3");
  expectSuccess({"plainmesh", "2", "0", "0"});
  EXPECT_TRUE(fileExists(folder.file("plainmesh_labels.lb")));

  std::filesystem::path deep = folder.path();
  for (int level = 0; level < 6; ++level)
    deep /= std::string(200, static_cast<char>('a' + level));
  std::filesystem::create_directories(deep);
  const std::string mesh = (deep / "mesh.obj").string();
  writeFile(mesh, triangleObj);
  writeFile((deep / "mesh_attribute.att").string(), twoTriangleValues);
  ASSERT_GT(mesh.size(), 1024u);
  expectSuccess({mesh, "2", "3", "5"});
  EXPECT_TRUE(fileExists((deep / "mesh_labels.lb").string()));
}

} // namespace
} // namespace vornel::testing
