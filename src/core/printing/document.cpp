#include "printing/document.hpp"

#include <fmt/format.h>

namespace vantrell::printing {

void Page::text(double x, double y, double width, std::string content, Font font, Align align) {
  items.emplace_back(Text{x, y, width, std::move(content), font, align});
}

void Page::line(double x1, double y1, double x2, double y2, double thickness, bool dashed) {
  items.emplace_back(Line{x1, y1, x2, y2, thickness, dashed});
}

void Page::box(double x, double y, double width, double height, double thickness) {
  items.emplace_back(Box{x, y, width, height, thickness, false, 1});
}

void Page::shadedBox(double x, double y, double width, double height, double grey) {
  items.emplace_back(Box{x, y, width, height, 0.5, true, grey});
}

Page& Document::addPage() {
  return pages_.emplace_back();
}

void Document::numberPages(std::size_t first, std::size_t last, double x, double y, double width,
                           Font font, Align align) {
  if (last > pages_.size()) last = pages_.size();
  for (std::size_t index = first; index < last; ++index)
    pages_[index].text(x, y, width, pageNumberText(index - first + 1, last - first), font, align);
}

std::string pageNumberText(std::size_t page, std::size_t pages) {
  return fmt::format("Page {} of {}", page, pages);
}

namespace {

// Counts code points, not bytes: a name with accents is as wide as without.
std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

}  // namespace

double estimatedWidth(std::string_view text, const Font& font) {
  // DejaVu Sans Mono advances 0.602 em per glyph; DejaVu Sans capitals and
  // digits stay below 0.77 em (bold), most lower case below 0.64 em.
  double perCharacter = font.family == FontFamily::Mono ? 0.602 : (font.bold ? 0.72 : 0.64);
  return static_cast<double>(characterCount(text)) * perCharacter * font.size;
}

std::string fittedText(std::string_view text, const Font& font, double width) {
  if (estimatedWidth(text, font) <= width) return std::string(text);
  std::string cut(text);
  while (!cut.empty() && estimatedWidth(cut + "...", font) > width) {
    // Drops one whole character: its continuation bytes, then its first byte.
    while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
    if (!cut.empty()) cut.pop_back();
  }
  return cut + "...";
}

double lineHeight(const Font& font) {
  return font.size * 1.25;
}

}  // namespace vantrell::printing
