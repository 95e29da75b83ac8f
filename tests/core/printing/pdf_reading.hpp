#pragma once

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace vantrell::testing {

// What a person reads on the pages, as poppler's pdftotext lays it out (one
// form feed between pages); empty when the file is not a PDF it can read.
inline std::string pdfText(const std::filesystem::path& pdf, bool layout = true) {
  const std::string command = std::string("pdftotext ") + (layout ? "-layout " : "") + "'" +
                              pdf.string() + "' - 2>/dev/null";
  std::string text;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    if (::pclose(pipe) != 0) return {};
  }
  return text;
}

inline std::vector<std::string> pdfPages(const std::filesystem::path& pdf) {
  std::vector<std::string> pages;
  const std::string text = pdfText(pdf);
  std::size_t start = 0;
  for (std::size_t feed = text.find('\f'); feed != std::string::npos;
       start = feed + 1, feed = text.find('\f', start))
    pages.push_back(text.substr(start, feed - start));
  return pages;
}

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos;
       start = end + 1, end = text.find('\n', start))
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The line that holds the text, or empty.
inline std::string lineWith(const std::string& text, const std::string& part) {
  for (const std::string& line : linesOf(text))
    if (line.find(part) != std::string::npos) return line;
  return {};
}

// A word as poppler places it on its page, in points from the top left.
struct PdfWord {
  int page = 0;  // from 1
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  std::string text;
};

inline std::vector<PdfWord> pdfWords(const std::filesystem::path& pdf) {
  std::string html;
  if (FILE* pipe = ::popen(("pdftotext -bbox '" + pdf.string() + "' - 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) html.append(buffer, got);
    ::pclose(pipe);
  }
  std::vector<PdfWord> words;
  const std::regex item(
      R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  int page = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), item); it != std::sregex_iterator();
       ++it) {
    if (!(*it)[1].matched) {
      ++page;
      continue;
    }
    words.push_back({page, std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                     std::stod((*it)[4]), (*it)[5]});
  }
  return words;
}

// Keeps a copy of a test's PDF where VANTRELL_KEEP_PDF points, to look at.
inline void keepPdf(const std::filesystem::path& pdf, const std::string& name) {
  if (const char* folder = std::getenv("VANTRELL_KEEP_PDF"))
    std::filesystem::copy_file(pdf, std::filesystem::path(folder) / name,
                               std::filesystem::copy_options::overwrite_existing);
}

}  // namespace vantrell::testing
