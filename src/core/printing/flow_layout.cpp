#include "printing/flow_layout.hpp"

#include <algorithm>
#include <sstream>

namespace vantrell::printing {

FlowLayout::FlowLayout(Document& document, Margins margins)
    : document_(document), margins_(margins), firstPage_(document.pageCount()) {}

void FlowLayout::newPage() {
  Page& page = document_.addPage();
  started_ = true;
  const PageSize size = document_.pageSize();
  const Frame margins{margins_.left, margins_.top, size.width - margins_.right,
                      size.height - margins_.bottom};
  frame_ = margins;
  if (header_) frame_.top += header_(page, margins);
  if (footer_) frame_.bottom -= footer_(page, margins);
  y_ = frame_.top;
}

void FlowLayout::ensureStarted() {
  if (!started_) newPage();
}

void FlowLayout::keepTogether(double height) {
  ensureStarted();
  // A piece taller than a whole frame goes where it is; a new page would not help.
  if (y_ + height > frame_.bottom && y_ > frame_.top) newPage();
}

Page& FlowLayout::page() {
  ensureStarted();
  return document_.page(document_.pageCount() - 1);
}

void FlowLayout::skip(double height) {
  ensureStarted();
  y_ += height;
}

void FlowLayout::textLine(std::string content, Font font, Align align) {
  const double height = lineHeight(font);
  keepTogether(height);
  page().text(frame_.left, y_, frame_.width(), std::move(content), font, align);
  y_ += height;
}

std::vector<std::string> wrappedLines(const std::string& content, const Font& font, double width) {
  std::vector<std::string> lines;
  std::istringstream words(content);
  std::string word;
  std::string line;
  while (words >> word) {
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (estimatedWidth(candidate, font) <= width) {
      line = candidate;
      continue;
    }
    if (!line.empty()) lines.push_back(line);
    line = estimatedWidth(word, font) <= width ? word : fittedText(word, font, width);
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void FlowLayout::paragraph(const std::string& content, Font font) {
  ensureStarted();
  for (std::string& line : wrappedLines(content, font, frame_.width()))
    textLine(std::move(line), font);
}

void FlowLayout::tableHeading(const std::vector<Column>& columns, const TableStyle& style) {
  const double height = lineHeight(style.heading) + 2;
  double x = frame_.left;
  double right = frame_.left;
  for (const Column& column : columns) {
    const double inner = column.width - 4;
    page().text(column.align == Align::Right ? x : x + 2, y_, inner,
                fittedText(column.heading, style.heading, inner), style.heading, column.align);
    x += column.width;
    right = x;
  }
  if (style.ruleUnderHeading) page().line(frame_.left, y_ + height, right, y_ + height);
  y_ += height + 2;
}

std::vector<std::vector<std::string>> FlowLayout::cellLines(const std::vector<Column>& columns,
                                                            const TableRow& row, const Font& font) {
  std::vector<std::vector<std::string>> lines(columns.size());
  for (std::size_t index = 0; index < columns.size() && index < row.cells.size(); ++index) {
    const std::string& text = row.cells[index].text;
    if (text.empty()) continue;
    const double inner = columns[index].width - 4;
    if (!columns[index].wraps || estimatedWidth(text, font) <= inner) {
      lines[index].push_back(fittedText(text, font, inner));
      continue;
    }
    // An indented text (a line under its charge) stays indented on every line.
    const std::string indent = text.substr(0, text.find_first_not_of(' '));
    for (const std::string& line :
         wrappedLines(text.substr(indent.size()), font, inner - estimatedWidth(indent, font)))
      lines[index].push_back(indent + line);
  }
  return lines;
}

void FlowLayout::tableRow(const std::vector<Column>& columns, const TableRow& row, const Font& font,
                          double height) {
  const auto lines = cellLines(columns, row, font);
  std::size_t tallest = 1;
  double x = frame_.left;
  for (std::size_t index = 0; index < columns.size(); ++index) {
    const Column& column = columns[index];
    // A little room between neighbouring columns, on the side the text sits.
    const double inner = column.width - 4;
    const double left = column.align == Align::Right ? x : x + 2;
    for (std::size_t line = 0; line < lines[index].size(); ++line)
      page().text(left, y_ + static_cast<double>(line) * height, inner, lines[index][line], font,
                  column.align);
    tallest = std::max(tallest, lines[index].size());
    x += column.width;
  }
  y_ += static_cast<double>(tallest) * height;
}

void FlowLayout::table(const std::vector<Column>& columns, const std::vector<TableRow>& rows,
                       const TableStyle& style, std::optional<std::string> totalLabel) {
  const double headingHeight = lineHeight(style.heading) + 4;
  // A heading is never left alone at the foot of a page.
  keepTogether(headingHeight + style.rowHeight);
  tableHeading(columns, style);

  std::vector<Money> totals(columns.size());
  for (const TableRow& row : rows) {
    Font font = style.body;
    font.bold = font.bold || row.bold;
    std::size_t tallest = 1;
    for (const auto& lines : cellLines(columns, row, font))
      tallest = std::max(tallest, lines.size());
    if (y_ + static_cast<double>(tallest) * style.rowHeight > frame_.bottom) {
      newPage();
      tableHeading(columns, style);
    }
    tableRow(columns, row, font, style.rowHeight);
    for (std::size_t index = 0; index < columns.size() && index < row.cells.size(); ++index)
      if (columns[index].totalled && row.cells[index].amount)
        totals[index] += *row.cells[index].amount;
  }
  if (!totalLabel) return;

  TableRow total;
  total.bold = true;
  total.cells.resize(columns.size());
  total.cells[0] = Cell(*totalLabel);
  for (std::size_t index = 0; index < columns.size(); ++index)
    if (columns[index].totalled) total.cells[index] = Cell(totals[index]);
  if (y_ + style.rowHeight + 3 > frame_.bottom) {
    newPage();
    tableHeading(columns, style);
  }
  double right = frame_.left;
  for (const Column& column : columns) right += column.width;
  page().line(frame_.left, y_ + 1, right, y_ + 1);
  y_ += 3;
  Font font = style.body;
  font.bold = true;
  tableRow(columns, total, font, style.rowHeight);
}

void FlowLayout::numberPages(Font font) {
  if (!started_) return;
  const PageSize size = document_.pageSize();
  document_.numberPages(firstPage_, document_.pageCount(), margins_.left,
                        size.height - margins_.bottom + 6,
                        size.width - margins_.left - margins_.right, font, Align::Right);
}

}  // namespace vantrell::printing
