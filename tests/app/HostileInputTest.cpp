// Crafted input against the command line: every file goes through the one
// checked reading path, with or without --repair, so each of these gets a
// clear message, exit status 1 and no label file (and no sanitizer report in
// the sanitizer build), or reads correctly when it is valid.

#include "app/CliSupport.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

namespace vornel::testing {
namespace {

class HostileInput : public ::testing::Test {
protected:
  /// Writes a mesh and its attribute file; returns the mesh's name.
  std::string write(const std::string& name, const std::string& bytes,
                    const std::string& values = "1 2 3 4") {
    writeFile(folder.file(name), bytes);
    writeFile(folder.file(name.substr(0, name.rfind('.')) + "_attribute.att"), values);
    return name;
  }

  CommandResult run(const std::vector<std::string>& args) {
    return runVornel(args, folder.path().string());
  }

  void expectRefused(const std::vector<std::string>& args, const std::string& needle) {
    const CommandResult result = run(args);
    EXPECT_EQ(result.exitStatus, 1) << args[0] << ": " << result.err;
    EXPECT_NE(result.err.find(needle), std::string::npos) << args[0] << ": " << result.err;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      EXPECT_EQ(entry.path().string().find("_labels.lb"), std::string::npos) << entry.path();
  }

  TempFolder folder;
};

TEST_F(HostileInput, OffRecordsAreCheckedWithRepairToo) {
  for (const char* repair : {"--verbose", "--repair"}) {
    const std::vector<std::string> tail{"2", "0", "0", repair, "--seed", "1"};
    const auto args = [&](const std::string& mesh) {
      std::vector<std::string> all{mesh};
      all.insert(all.end(), tail.begin(), tail.end());
      return all;
    };
    // A colour-mapped vertex whose line holds a single number.
    expectRefused(args(write("first.off", "COFF\n3 1 0\n0\n1 0 0 1 0 0 1\n0 1 0 1 0 0 1\n"
                                          "3 0 1 2\n")),
                  "vertex 0 (numbered from 0) has fewer than 3 coordinates");
    // A negative colour-map index.
    expectRefused(args(write("negative.off", "COFF\n3 1 0\n0 0 0 -5\n1 0 0 -5\n0 1 0 -5\n"
                                             "3 0 1 2\n")),
                  "has no readable colour");
    // Texture coordinates the header announces but the lines lack.
    expectRefused(args(write("texture.off", "STOFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n")),
                  "fewer than the 5 numbers its header announces");
    // A corner index far beyond the vertices (it used to read as vertex 0).
    expectRefused(args(write("index.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1e30 2\n")),
                  "facet 1: a corner is out of range");
    // Corner counts that are checked before anything is allocated for them.
    for (const char* count : {"1e8", "1e18", "-2"}) {
      expectRefused(args(write("count.off", std::string("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n") +
                                                count + " 0 1 2\n")),
                    "facet 1");
    }
  }
}

/// A binary OFF file as CGAL's writer makes it: big-endian numbers, and after
/// each facet's corners the number of colour components that follow.
std::string binaryOff(std::int32_t cornerCount) {
  std::string bytes = "OFF BINARY\n";
  const auto put32 = [&bytes](std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  };
  const auto putFloat = [&put32](float value) {
    std::uint32_t raw = 0;
    std::memcpy(&raw, &value, 4);
    put32(raw);
  };
  put32(4);
  put32(2);
  put32(0);
  for (const float xyz : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 0.f})
    putFloat(xyz);
  put32(static_cast<std::uint32_t>(cornerCount));
  for (const std::uint32_t corner : {0u, 1u, 2u})
    put32(corner);
  put32(0); // no colour components
  put32(3);
  for (const std::uint32_t corner : {1u, 3u, 2u})
    put32(corner);
  put32(0);
  return bytes;
}

TEST_F(HostileInput, BinaryOffWithFacetColourCountsReadsWithAndWithoutRepair) {
  const std::string mesh = write("binary.off", binaryOff(3), "0 0.1 5 5.1");
  for (const char* repair : {"--verbose", "--repair"}) {
    const CommandResult result = run({mesh, "2", "0", "0", repair, "--seed", "1"});
    EXPECT_EQ(result.exitStatus, 0) << repair << ": " << result.err;
    EXPECT_EQ(readFile(folder.file("binary_labels.lb")), "2 \t0 \t0 \t1 \t1 \t") << repair;
  }
  // A facet announcing 2^27 corners in a file of a few dozen bytes.
  std::filesystem::remove(folder.file("binary_labels.lb"));
  expectRefused({write("claim.off", binaryOff(1 << 27)), "2", "0", "0", "--repair"},
                "more than the rest of the file holds");
}

TEST_F(HostileInput, NonFiniteCoordinatesAreRefusedInEveryFormat) {
  expectRefused(
      {write("nan.obj", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "1 2 3"), "2", "0", "0"},
      "nan.obj:1: vertex coordinate 'nan' is not a finite number");
  expectRefused({write("w.off", "4OFF\n3 1 0\n0 0 0 1\n1 0 0 0\n0 1 0 1\n3 0 1 2\n", "1 2 3"), "2",
                 "0", "0", "--repair"},
                "not a finite number");
}

TEST_F(HostileInput, MalformedObjVertexLineIsRefusedInsteadOfShiftingTheOthers) {
  expectRefused(
      {write("shift.obj", "v 0 0 0\nv 0 1\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "1 2 3"), "2", "0", "0"},
      "shift.obj:2: vertex line has fewer than three coordinates");
  expectRefused(
      {write("word.obj", "v 0 0 0\nv 0 1 zzz\nv 1 0 0\nf 1 2 3\n", "1 2 3"), "2", "0", "0"},
      "word.obj:2: vertex coordinate 'zzz' is not a number");
}

TEST_F(HostileInput, VertexLineTyposAndLoneCarriageReturnsNeverShiftVertices) {
  expectRefused(
      {write("typo.obj", "v 0 0 0\nv1 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "1 2 3"), "2", "0", "0"},
      "typo.obj:2: 'v1' is not a vertex line (v), nor a vt, vn or vp line");
  // The same square with a byte order mark and each kind of line end: the same labels.
  const std::string square = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n";
  std::string framed = "\xEF\xBB\xBF" + square;
  framed.replace(framed.find('\n'), 1, "\r");
  framed.replace(framed.find('\n'), 1, "\r\n");
  ASSERT_EQ(run({write("lf.obj", square, "0 0.1 5 5.1"), "2", "0", "0"}).exitStatus, 0);
  ASSERT_EQ(run({write("framed.obj", framed,
                       "\xEF\xBB\xBF"
                       "0\r0.1\r5\r\n5.1"),
                 "2", "0", "0"})
                .exitStatus,
            0);
  EXPECT_EQ(readFile(folder.file("framed_labels.lb")), readFile(folder.file("lf_labels.lb")));
}

TEST_F(HostileInput, ControlBytesOfAFileNeverReachTheTerminal) {
  const std::string title = "\x1b]0;owned\x07-\x1b[2J";
  const std::vector<std::pair<std::string, std::string>> meshes{
      {"coordinate.obj", "v 0 0 " + title + "\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
      {"corner.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 " + title + "\n"},
      {"keyword.ply", "ply\nformat ascii 1.0\n" + title + "\nend_header\n"}};
  for (const auto& [name, bytes] : meshes) {
    const CommandResult result = run({write(name, bytes, "1 2 3"), "2", "0", "0"});
    EXPECT_EQ(result.exitStatus, 1) << name;
    EXPECT_NE(result.err.find("?]0;owned?-?[2J"), std::string::npos) << name << ": " << result.err;
  }
  const CommandResult values =
      run({write("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "1 2 " + title), "2", "0", "0"});
  EXPECT_EQ(values.exitStatus, 1);
  EXPECT_NE(values.err.find("'?]0;owned?-?[2J'"), std::string::npos) << values.err;
}

TEST_F(HostileInput, OnlyRegularFilesAreRead) {
  const std::string mesh = write("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n");
  const std::string values = folder.file("values.att");
  // Endless or blocking sources: refused at once, not read for ever.
  for (const char* device : {"/dev/zero", "/dev/urandom"}) {
    expectRefused({mesh, "2", "0", "0", "--attribute-file", device}, "not a regular file");
  }
  ASSERT_EQ(::mkfifo(values.c_str(), 0600), 0);
  expectRefused({mesh, "2", "0", "0", "--attribute-file", values}, "not a regular file");
  ASSERT_EQ(::mkfifo(folder.file("pipe.obj").c_str(), 0600), 0);
  expectRefused({"pipe.obj", "2", "0", "0"}, "pipe.obj: it is not a regular file");
}

TEST_F(HostileInput, UnreadableMeshNamesTheRealReason) {
  // A mesh that exists but cannot be opened is not "missing" (a symbolic link
  // loop fails even for root, which reads past permissions).
  std::filesystem::create_symlink("loop.obj", folder.file("loop.obj"));
  const CommandResult result = run({"loop.obj", "2", "0", "0"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_NE(result.err.find("cannot open mesh loop.obj: Too many levels of symbolic links"),
            std::string::npos)
      << result.err;
  // A missing file keeps its own message, on standard output.
  const CommandResult missing = run({"absent.obj", "2", "0", "0"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_EQ(missing.out, "The file absent.obj n'existe pas!does not exist\n\n");
}

TEST_F(HostileInput, ValuesAfterTheLastVertexAreCountedNotParsed) {
  const std::string mesh = write("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n",
                                 "0 0.1 5 5.1 trailing nan words");
  const CommandResult result = run({mesh, "2", "0", "0"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("holds 3 more values than the mesh has vertices"), std::string::npos)
      << result.err;
}

TEST_F(HostileInput, VerboseAttributeRangeIsTheValuesRange) {
  const std::string mesh = write("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n",
                                 "2001 2002 2015 2016");
  const CommandResult result = run({mesh, "2", "0", "0", "--verbose"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("attribute range 2001 .. 2016"), std::string::npos) << result.err;
}

TEST_F(HostileInput, NumbersMayCarryWhiteSpaceOnEitherSide) {
  const std::string mesh =
      write("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n", "0 0.1 5 5.1");
  const CommandResult result = run({mesh, "2 ", " 1", "\t3\n", "--seed", " 7 "});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(fileExists(folder.file("m_labels.lb")));
}

TEST_F(HostileInput, HighValenceAndHugePolygonsReadInLinearTime) {
  // A fan of 100 000 triangles around one vertex, and one polygon of 300 000
  // corners: both used to take minutes in per-vertex lookups. The suite's
  // time limit, not a timer, is the guard here; bench_mesh_input measures.
  std::ostringstream fan;
  const int rim = 100000;
  fan << "v 0 0 0\n";
  for (int i = 0; i < rim; ++i)
    fan << "v " << std::cos(6.283185307 * i / rim) << ' ' << std::sin(6.283185307 * i / rim)
        << " 0\n";
  for (int i = 1; i <= rim; ++i)
    fan << "f 1 " << i + 1 << ' ' << i % rim + 2 << '\n';
  std::ostringstream values;
  for (int i = 0; i <= rim; ++i)
    values << (i % 2) << '\n';
  const CommandResult result = run({write("fan.obj", fan.str(), values.str()), "2", "1", "1"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;

  std::ostringstream polygon;
  const int corners = 300000;
  for (int i = 0; i < corners; ++i)
    polygon << "v " << std::cos(6.283185307 * i / corners) << ' '
            << std::sin(6.283185307 * i / corners) << " 0\n";
  polygon << 'f';
  for (int i = 1; i <= corners; ++i)
    polygon << ' ' << i;
  polygon << '\n';
  std::ostringstream polygonValues;
  for (int i = 0; i < corners; ++i)
    polygonValues << (i < corners / 2 ? 0 : 1) << '\n';
  const CommandResult big =
      run({write("big.obj", polygon.str(), polygonValues.str()), "2", "0", "1"});
  EXPECT_EQ(big.exitStatus, 0) << big.err;
}

} // namespace
} // namespace vornel::testing
