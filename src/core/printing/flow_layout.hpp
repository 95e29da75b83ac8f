#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/money.hpp"
#include "printing/document.hpp"

namespace vantrell::printing {

struct Margins {
  double top = 54;
  double bottom = 54;
  double left = 54;
  double right = 54;
};

// One cell of a table row: text, or an amount that the column may total.
struct Cell {
  Cell() = default;
  Cell(std::string content) : text(std::move(content)) {}  // NOLINT: rows read as lists of texts
  Cell(const char* content) : text(content) {}             // NOLINT
  Cell(Money value) : text(value.toGroupedString()), amount(value) {}  // NOLINT

  std::string text;
  std::optional<Money> amount;
};

struct Column {
  std::string heading;
  double width = 72;
  Align align = Align::Left;
  bool totalled = false;  // amounts in this column add up in the total row
  // Text too long for the column goes on on more lines (the row grows) rather
  // than being cut short.
  bool wraps = false;
};

struct TableRow {
  std::vector<Cell> cells;
  bool bold = false;
};

// A table laid out by FlowLayout: its columns, left to right from the left
// margin, and the style of its rows.
struct TableStyle {
  Font heading{8, true};
  Font body{9};
  double rowHeight = 13;
  bool ruleUnderHeading = true;
};

// The area of a page between the header and the footer.
struct Frame {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
  double width() const { return right - left; }
};

// Lays out flowing content (lines of text, paragraphs, tables) down the pages of
// a document, starting a page when the next piece does not fit. A page header
// and footer are drawn on every page the layout starts; a table broken across
// pages repeats its heading row. Reports and letters are built on it; forms with
// fixed positions draw on Document pages directly.
class FlowLayout {
 public:
  // Draws on a new page and returns the height it took from the top (header)
  // or from the bottom (footer) of the margins.
  using Decoration = std::function<double(Page& page, const Frame& margins)>;

  FlowLayout(Document& document, Margins margins = {});

  void setHeader(Decoration header) { header_ = std::move(header); }
  void setFooter(Decoration footer) { footer_ = std::move(footer); }

  // Starts a page now (the first call to any drawing function starts one too).
  void newPage();
  // Starts a page unless `height` still fits below the cursor.
  void keepTogether(double height);

  Page& page();
  const Frame& frame() const { return frame_; }
  double cursor() const { return y_; }
  void skip(double height);

  void textLine(std::string content, Font font = {}, Align align = Align::Left);
  // Wraps at blanks to the frame's width; a word too long for a line is cut.
  void paragraph(const std::string& content, Font font = {});

  // Rows in order; when a row does not fit, the table goes on on a new page
  // under its heading again. With `totalLabel`, a last row carries the label in
  // the first column and the sum of each totalled column's amounts.
  void table(const std::vector<Column>& columns, const std::vector<TableRow>& rows,
             const TableStyle& style = {}, std::optional<std::string> totalLabel = {});

  // The pages this layout started so far, from the first one.
  std::size_t firstPage() const { return firstPage_; }
  std::size_t pagesStarted() const { return started_ ? document_.pageCount() - firstPage_ : 0; }
  // "Page n of m" at the bottom right of every page the layout started.
  void numberPages(Font font = {8});

 private:
  void ensureStarted();
  void tableHeading(const std::vector<Column>& columns, const TableStyle& style);
  void tableRow(const std::vector<Column>& columns, const TableRow& row, const Font& font,
                double height);
  // The lines of each cell: one, or as many as a wrapping column needs.
  static std::vector<std::vector<std::string>> cellLines(const std::vector<Column>& columns,
                                                         const TableRow& row, const Font& font);

  Document& document_;
  Margins margins_;
  Decoration header_;
  Decoration footer_;
  Frame frame_;
  double y_ = 0;
  bool started_ = false;
  std::size_t firstPage_ = 0;
};

// Splits text into lines no wider than `width` by the layout's width estimate.
std::vector<std::string> wrappedLines(const std::string& content, const Font& font, double width);

}  // namespace vantrell::printing
