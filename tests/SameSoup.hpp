#pragma once
// Comparing soups read in chunks with the soups read in one pass, and the
// messages of the errors their readers throw.

#include "core/Errors.hpp"
#include "mesh/PolygonSoup.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vornel {

inline void expectSameSoup(const PolygonSoup& chunked, const PolygonSoup& onePass) {
  EXPECT_EQ(chunked.points, onePass.points);
  EXPECT_EQ(chunked.corners, onePass.corners);
  EXPECT_EQ(chunked.facetOffsets, onePass.facetOffsets);
  EXPECT_EQ(chunked.facetLines, onePass.facetLines);
  EXPECT_EQ(chunked.firstVertexNumber, onePass.firstVertexNumber);
}

/// The message of the InvalidInputError that parse throws ("" if none).
inline std::string errorOf(const std::function<void()>& parse) {
  try {
    parse();
  } catch (const InvalidInputError& error) {
    return error.what();
  }
  return "";
}

} // namespace vornel
