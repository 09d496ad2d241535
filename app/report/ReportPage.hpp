#pragma once
// The report as one self-contained HTML page: markup, style, script and data
// all inline, so it opens from disk with no network.

#include <string>

namespace vornel {

/// The page around the JSON data of reportData().
std::string reportPage(const std::string& jsonData);

} // namespace vornel
