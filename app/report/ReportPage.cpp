#include "app/report/ReportPage.hpp"

#include "generated/ReportPageSources.hpp"

namespace vornel {

namespace {

/// text with its first `marker` replaced by replacement.
std::string replaced(std::string text, const std::string& marker, const std::string& replacement) {
  const std::size_t at = text.find(marker);
  if (at != std::string::npos)
    text.replace(at, marker.size(), replacement);
  return text;
}

} // namespace

std::string reportPage(const std::string& jsonData) {
  std::string html = page::html;
  html = replaced(std::move(html), "<!--style-->",
                  std::string("<style>\n") + page::style + "</style>");
  html = replaced(std::move(html), "<!--script-->",
                  std::string("<script>\n") + page::script + "</script>");
  // Last, so that nothing inside the data is taken for a marker.
  const std::string marker = "<!--data-->";
  const std::size_t at = html.find(marker);
  std::string result;
  result.reserve(html.size() + jsonData.size() + 64);
  result.append(html, 0, at);
  result += "<script type=\"application/json\" id=\"vornel-data\">";
  result += jsonData;
  result += "</script>";
  result.append(html, at + marker.size(), std::string::npos);
  return result;
}

} // namespace vornel
