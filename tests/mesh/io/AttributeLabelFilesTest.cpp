// Attribute file reading and label file writing: values, bytes and failures.

#include "core/Errors.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshFixtures.hpp"
#include "mesh/io/AttributeFile.hpp"
#include "mesh/io/LabelFile.hpp"

#include "TempFolder.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace vornel {
namespace {

namespace fs = std::filesystem;
using test::vertexAt;

class FileTest : public ::testing::Test {
protected:
  vornel::testing::TempFolder temp_;
  const fs::path& folder_ = temp_.path();

  std::string path(const std::string& name) const { return (folder_ / name).string(); }

  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }

  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  /// A mesh of n isolated vertices.
  static void makePoints(LabeledMesh& mesh, std::size_t n) {
    test::buildMesh(mesh, test::Points(n, {0, 0, 0}), {});
  }

  static std::vector<double> attributesOf(const LabeledMesh& mesh) {
    std::vector<double> values;
    for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
      values.push_back(v->attribute);
    }
    return values;
  }

  /// The message of the InvalidInputError that reading `bytes` raises.
  std::string readError(const std::string& bytes, std::size_t vertices) {
    LabeledMesh mesh;
    makePoints(mesh, vertices);
    const std::string file = write("a.att", bytes);
    try {
      readMeshAttributes(mesh, file);
    } catch (const InvalidInputError& error) {
      return error.what();
    }
    return "accepted";
  }
};

TEST_F(FileTest, ReadsOneValuePerLineOrAllOnOneLine) {
  for (const std::string text : {"1.5\n2\n-0.25\n", "1.5 2\t-0.25", "\r\n 1.5\r\n2\r\n-0.25\r\n"}) {
    LabeledMesh mesh;
    makePoints(mesh, 3);
    EXPECT_EQ(readMeshAttributes(mesh, write("a.att", text)), 0u);
    EXPECT_EQ(attributesOf(mesh), (std::vector<double>{1.5, 2, -0.25}));
    EXPECT_EQ(mesh.attributeMin, -0.25);
    EXPECT_EQ(mesh.attributeMax, 2.0);
  }
}

TEST_F(FileTest, ValuesHaveSinglePrecision) {
  LabeledMesh mesh;
  makePoints(mesh, 5);
  readMeshAttributes(mesh, write("a.att", "0.1 +2.5e1 0x1p-2 1e-50 -0\n"));
  const std::vector<double> values = attributesOf(mesh);
  EXPECT_EQ(values[0], static_cast<double>(0.1f));
  EXPECT_NE(values[0], 0.1);
  EXPECT_EQ(values[1], 25.0);
  EXPECT_EQ(values[2], 0.25);
  EXPECT_EQ(values[3], 0.0);
  EXPECT_TRUE(std::signbit(values[4]));
}

TEST_F(FileTest, RangeStartsAtPlusAndMinusThousand) {
  LabeledMesh mesh;
  makePoints(mesh, 2);
  readMeshAttributes(mesh, write("a.att", "2000\n3000\n"));
  EXPECT_EQ(mesh.attributeMin, 1000.0);
  EXPECT_EQ(mesh.attributeMax, 3000.0);
  readMeshAttributes(mesh, write("a.att", "-2000\n-3000\n"));
  EXPECT_EQ(mesh.attributeMin, -3000.0);
  EXPECT_EQ(mesh.attributeMax, -1000.0);
}

TEST_F(FileTest, ExtraValuesAreCounted) {
  LabeledMesh mesh;
  makePoints(mesh, 2);
  EXPECT_EQ(readMeshAttributes(mesh, write("a.att", "1\n2\n3\n4\n5\n")), 3u);
  EXPECT_EQ(attributesOf(mesh), (std::vector<double>{1, 2}));
}

TEST_F(FileTest, FewerValuesThanVertices) {
  EXPECT_EQ(readError("1\n2\n", 3), path("a.att") + " holds 2 values; the mesh has 3 vertices");
  EXPECT_EQ(readError("", 1), path("a.att") + " holds 0 values; the mesh has 1 vertices");
}

TEST_F(FileTest, BadTokensAreNamedByLineAndPosition) {
  const std::string file = path("a.att");
  EXPECT_EQ(readError("1\n2\nabc\n", 3), file + ":3: value 3 'abc' is not a number");
  EXPECT_EQ(readError("1 2\n\n1.5x 4", 4), file + ":3: value 3 '1.5x' is not a number");
  EXPECT_EQ(readError("1,5 2", 2), file + ":1: value 1 '1,5' is not a number");
  EXPECT_EQ(readError("--1", 1), file + ":1: value 1 '--1' is not a number");
  EXPECT_EQ(readError("1e", 1), file + ":1: value 1 '1e' is not a number");
  EXPECT_EQ(readError(std::string("1\0", 2) + "2", 2), file + ":1: value 1 '1?2' is not a number");
  EXPECT_EQ(readError("1 nan", 2), file + ":1: value 2 'nan' is not a finite number");
  EXPECT_EQ(readError("-INF 1", 2), file + ":1: value 1 '-INF' is not a finite number");
  EXPECT_EQ(readError("1e39", 1), file + ":1: value 1 '1e39' is not a finite number");
  // Words after the values needed are counted, never converted.
  EXPECT_EQ(readError("1 2 bad nan", 2), "accepted");
}

TEST_F(FileTest, ByteOrderMarkIsSkippedAndEveryLineEndCountsOnce) {
  LabeledMesh mesh;
  makePoints(mesh, 2);
  readMeshAttributes(mesh, write("bom.att", "\xEF\xBB\xBF"
                                            "1.5\r2.5\r"));
  EXPECT_EQ(attributesOf(mesh), (std::vector<double>{1.5, 2.5}));
  EXPECT_EQ(readError("1\r2\r\n3\n\rx", 4), path("a.att") + ":5: value 4 'x' is not a number");
  EXPECT_EQ(readError("\x1b[2J", 1), path("a.att") + ":1: value 1 '?[2J' is not a number");
}

TEST_F(FileTest, MissingAttributeFileAndEmptyMesh) {
  LabeledMesh mesh;
  makePoints(mesh, 1);
  const std::string missing = path("missing.att");
  try {
    readMeshAttributes(mesh, missing);
    FAIL() << "no error";
  } catch (const IOError& error) {
    EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
  }
  EXPECT_THROW(readMeshAttributes(mesh, folder_.string()), IOError);
  LabeledMesh empty;
  EXPECT_THROW(readMeshAttributes(empty, write("a.att", "1\n")), InvalidInputError);
}

TEST_F(FileTest, LabelBytes) {
  LabeledMesh mesh;
  makePoints(mesh, 4);
  mesh.classCount = 2;
  const int labels[] = {0, 1, 1, 0};
  for (std::size_t k = 0; k < 4; ++k) {
    vertexAt(mesh, k)->label = labels[k];
  }
  writeMeshLabels(mesh, path("m_labels.lb"));
  EXPECT_EQ(contents(path("m_labels.lb")), "2 \t0 \t1 \t1 \t0 \t");
  EXPECT_EQ(contents(path("m_labels.lb")).size(), 15u);

  vertexAt(mesh, 3)->label = -12;
  mesh.classCount = 256;
  writeMeshLabels(mesh, path("m_labels.lb"));
  EXPECT_EQ(contents(path("m_labels.lb")), "256 \t0 \t1 \t1 \t-12 \t");
  EXPECT_EQ(entries(), (std::vector<std::string>{"m_labels.lb"}));
}

TEST_F(FileTest, EmptyMeshWritesTheClassCountAlone) {
  LabeledMesh mesh;
  mesh.classCount = 3;
  writeMeshLabels(mesh, path("e_labels.lb"));
  EXPECT_EQ(contents(path("e_labels.lb")), "3 \t");
}

TEST_F(FileTest, OverwritingReplacesALongerFile) {
  const std::string file = write("m_labels.lb", std::string(1000, 'x'));
  LabeledMesh mesh;
  makePoints(mesh, 1);
  mesh.classCount = 1;
  writeMeshLabels(mesh, file);
  EXPECT_EQ(contents(file), "1 \t0 \t");
}

TEST_F(FileTest, MissingFolderIsAnErrorNamingThePath) {
  LabeledMesh mesh;
  const std::string file = path("no/such/folder/m_labels.lb");
  try {
    writeMeshLabels(mesh, file);
    FAIL() << "no error";
  } catch (const IOError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("cannot write label file " + file + ": ", 0), 0u)
        << error.what();
  }
}

TEST_F(FileTest, FailedRenameLeavesNoTemporaryFile) {
  // The target is a folder that holds a file: the rename over it fails.
  fs::create_directory(path("m_labels.lb"));
  write("m_labels.lb/keep", "kept");
  LabeledMesh mesh;
  EXPECT_THROW(writeMeshLabels(mesh, path("m_labels.lb")), IOError);
  EXPECT_EQ(entries(), (std::vector<std::string>{"m_labels.lb"}));
  EXPECT_EQ(contents(path("m_labels.lb/keep")), "kept");
}

TEST_F(FileTest, UnwritableFolderLeavesTheOldFileUntouched) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind the superuser";
  }
  const std::string file = write("m_labels.lb", "old");
  fs::permissions(folder_,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  LabeledMesh mesh;
  EXPECT_THROW(writeMeshLabels(mesh, file), IOError);
  EXPECT_EQ(contents(file), "old");
  EXPECT_EQ(entries(), (std::vector<std::string>{"m_labels.lb"}));
}

} // namespace
} // namespace vornel
