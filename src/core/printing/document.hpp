#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vantrell::printing {

// Every length of a document is in points (1/72 inch), measured from the top
// left corner of the page, y growing downwards.
struct PageSize {
  double width = 612;
  double height = 792;
};
inline constexpr PageSize usLetter{612, 792};
inline constexpr double pointsPerInch = 72;

enum class FontFamily { Sans, Mono };
enum class Align { Left, Center, Right };

struct Font {
  double size = 10;
  bool bold = false;
  FontFamily family = FontFamily::Sans;
};

// One line of text in a box that starts at (x, y) and is `width` wide; the
// alignment places the text within the box, so amounts right-aligned in one
// column end at the same x whatever their length. y is the top of the line.
struct Text {
  double x = 0;
  double y = 0;
  double width = 0;
  std::string text;
  Font font;
  Align align = Align::Left;
};

struct Line {
  double x1 = 0;
  double y1 = 0;
  double x2 = 0;
  double y2 = 0;
  double thickness = 0.5;
  bool dashed = false;  // a tear-off line
};

// An outlined rectangle, filled with a grey (0 black to 1 white) when shaded.
struct Box {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  double thickness = 0.5;
  bool shaded = false;
  double grey = 0.9;
};

using Item = std::variant<Text, Line, Box>;

// What is drawn on one page, in drawing order.
struct Page {
  std::vector<Item> items;

  void text(double x, double y, double width, std::string content, Font font = {},
            Align align = Align::Left);
  void line(double x1, double y1, double x2, double y2, double thickness = 0.5,
            bool dashed = false);
  void box(double x, double y, double width, double height, double thickness = 0.5);
  void shadedBox(double x, double y, double width, double height, double grey = 0.9);
};

// A printable document: pages of one size. It says what is on the pages and
// where, never how it is drawn; a renderer turns it into PDF.
class Document {
 public:
  explicit Document(PageSize size = usLetter, std::string title = {})
      : size_(size), title_(std::move(title)) {}

  PageSize pageSize() const { return size_; }
  const std::string& title() const { return title_; }

  Page& addPage();
  std::size_t pageCount() const { return pages_.size(); }
  Page& page(std::size_t index) { return pages_.at(index); }
  const Page& page(std::size_t index) const { return pages_.at(index); }
  const std::vector<Page>& pages() const { return pages_; }

  // Writes "Page n of m" on the pages [first, last) in the box given, n and m
  // counting within that run, so each statement of a batch counts its own pages.
  void numberPages(std::size_t first, std::size_t last, double x, double y, double width,
                   Font font = {8}, Align align = Align::Right);

 private:
  PageSize size_;
  std::string title_;
  std::vector<Page> pages_;
};

std::string pageNumberText(std::size_t page, std::size_t pages);

// An estimate of the width a text takes, used only to wrap and shorten text in
// the layout; the renderer places and aligns with the font's true widths. It
// errs wide (DejaVu's widest common glyphs), so what fits here fits on paper.
double estimatedWidth(std::string_view text, const Font& font);
// The text cut at a character boundary, with "..." when cut, to fit the width.
std::string fittedText(std::string_view text, const Font& font, double width);
// Line height for a font: its size with the usual leading.
double lineHeight(const Font& font);

}  // namespace vantrell::printing
