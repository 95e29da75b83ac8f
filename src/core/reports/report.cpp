#include "reports/report.hpp"

#include <algorithm>
#include <array>
#include <functional>

#include <fmt/format.h>

#include "common/csv.hpp"
#include "printing/flow_layout.hpp"

namespace vantrell::reports {

Value Value::count(std::int64_t number) {
  Value value;
  value.kind_ = Kind::Count;
  value.count_ = number;
  return value;
}

std::string Value::display() const {
  switch (kind_) {
    case Kind::Blank:
      return {};
    case Kind::Text:
      return text_;
    case Kind::Amount:
      return amount_.toGroupedString();
    case Kind::Count:
      return std::to_string(count_);
  }
  return {};
}

std::string Value::plain() const {
  if (kind_ == Kind::Amount) return amount_.toString();
  return display();
}

printing::Align Column::align() const {
  return kind == Value::Kind::Text ? printing::Align::Left : printing::Align::Right;
}

namespace {

bool groupEmpty(const Group& group) {
  if (!group.rows.empty()) return false;
  return std::all_of(group.groups.begin(), group.groups.end(), groupEmpty);
}

void flatten(const Group& group, std::vector<const Group*>& path,
             std::vector<Report::FlatRow>& out) {
  path.push_back(&group);
  for (const Row& row : group.rows) out.push_back({path, &row});
  for (const Group& inner : group.groups) flatten(inner, path, out);
  path.pop_back();
}

constexpr std::array<const char*, 12> monthNames{"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};

}  // namespace

bool Report::empty() const {
  return rows.empty() && std::all_of(groups.begin(), groups.end(), groupEmpty);
}

std::vector<Report::FlatRow> Report::flatRows() const {
  std::vector<FlatRow> out;
  for (const Row& row : rows) out.push_back({{}, &row});
  std::vector<const Group*> path;
  for (const Group& group : groups) flatten(group, path, out);
  return out;
}

std::string longDate(const Date& date) {
  if (date.isEmpty()) return {};
  const auto day = date.value();
  return fmt::format("{} {}, {}", monthNames.at(static_cast<unsigned>(day.month()) - 1),
                     static_cast<unsigned>(day.day()), static_cast<int>(day.year()));
}

std::string shortDate(const Date& date) {
  if (date.isEmpty()) return {};
  const auto day = date.value();
  return fmt::format("{}/{}/{}", static_cast<unsigned>(day.month()),
                     static_cast<unsigned>(day.day()), static_cast<int>(day.year()));
}

// ---------------------------------------------------------------- spreadsheet

std::string reportCsv(const Report& report) {
  std::vector<std::string> fields = report.groupLevels;
  for (const Column& column : report.columns) fields.push_back(column.title);
  std::string out = csvRecord(fields);
  for (const Report::FlatRow& flat : report.flatRows()) {
    fields.clear();
    for (std::size_t level = 0; level < report.groupLevels.size(); ++level)
      fields.push_back(level < flat.path.size() ? flat.path[level]->key : std::string());
    for (std::size_t index = 0; index < report.columns.size(); ++index)
      fields.push_back(index < flat.row->cells.size() ? flat.row->cells[index].plain()
                                                      : std::string());
    out += csvRecord(fields);
  }
  return out;
}

// ---------------------------------------------------------------- text

namespace {

// Totals are ruled over the columns they total.
bool ruledColumn(const std::vector<TotalRow>& rows, std::size_t column) {
  return std::any_of(rows.begin(), rows.end(), [column](const TotalRow& total) {
    return column < total.cells.size() && !total.cells[column].isBlank();
  });
}

std::size_t textWidth(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

std::string padded(const std::string& text, std::size_t width, printing::Align align) {
  const std::size_t length = textWidth(text);
  if (length >= width) return text;
  const std::string fill(width - length, ' ');
  return align == printing::Align::Right ? fill + text : text + fill;
}

class TextWriter {
 public:
  explicit TextWriter(const Report& report) : report_(report) {
    widths_.resize(report.columns.size());
    for (std::size_t index = 0; index < report.columns.size(); ++index)
      widths_[index] = textWidth(report.columns[index].title);
    auto measure = [&](const std::vector<Value>& cells) {
      for (std::size_t index = 0; index < cells.size() && index < widths_.size(); ++index)
        widths_[index] = std::max(widths_[index], textWidth(cells[index].display()));
    };
    std::vector<const TotalRow*> labelled;
    auto measureTotals = [&](const std::vector<TotalRow>& totals) {
      for (const TotalRow& total : totals) {
        measure(total.cells);
        labelled.push_back(&total);
      }
    };
    for (const Report::FlatRow& flat : report.flatRows()) measure(flat.row->cells);
    std::function<void(const Group&)> measureGroup = [&](const Group& group) {
      measureTotals(group.totals);
      for (const Group& inner : group.groups) measureGroup(inner);
    };
    for (const Group& group : report.groups) measureGroup(group);
    measureTotals(report.totals);
    // A label runs on over the blank cells after it; the first column widens
    // only for a label longer than that.
    for (const TotalRow* total : labelled) {
      if (widths_.empty()) break;
      const std::size_t span = labelSpan(*total);
      if (textWidth(total->label) > span) widths_[0] += textWidth(total->label) - span;
    }
  }

  std::string write() {
    const Header& header = report_.header;
    if (!header.practiceName.empty()) line(header.practiceName);
    line(header.title);
    for (const std::string& range : header.ranges) line(range);
    if (!header.runDate.isEmpty()) line("Run date: " + shortDate(header.runDate));
    line({});
    std::vector<Value> titles;
    for (const Column& column : report_.columns) titles.emplace_back(column.title);
    cells(titles, {}, true);
    line(std::string(totalWidth(), '='));
    for (const Row& row : report_.rows) bodyRow(row);
    for (const Group& group : report_.groups) writeGroup(group, 0);
    totals(report_.totals);
    if (!report_.summary.empty()) line({});
    std::size_t labelWidth = 0;
    for (const SummaryLine& summary : report_.summary)
      labelWidth = std::max(labelWidth, textWidth(summary.label));
    for (const SummaryLine& summary : report_.summary) {
      if (summary.value.isBlank()) {
        line(summary.label);
        continue;
      }
      line(padded(summary.label, labelWidth, printing::Align::Left) + "  " +
           padded(summary.value.display(), 14, printing::Align::Right));
    }
    if (!report_.footnotes.empty()) line({});
    for (const std::string& note : report_.footnotes) line(note);
    return out_;
  }

 private:
  // The columns a total row's label may take: the first and the blank ones after it.
  std::size_t labelColumns(const TotalRow& total) const {
    std::size_t columns = 1;
    while (columns < widths_.size() &&
           (columns >= total.cells.size() || total.cells[columns].isBlank()))
      ++columns;
    return columns;
  }
  std::size_t labelSpan(const TotalRow& total) const {
    std::size_t span = 0;
    for (std::size_t index = 0; index < labelColumns(total); ++index)
      span += widths_[index] + (index > 0 ? 2 : 0);
    return span;
  }
  std::size_t totalWidth() const {
    std::size_t width = 0;
    for (const std::size_t column : widths_) width += column + 2;
    return width > 2 ? width - 2 : width;
  }
  void line(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    out_ += trimmed + "\n";
  }
  void cells(const std::vector<Value>& values, const std::string& label, bool titles = false) {
    std::string text;
    for (std::size_t index = 0; index < widths_.size(); ++index) {
      if (index > 0) text += "  ";
      std::string shown = index < values.size() ? values[index].display() : std::string();
      if (index == 0 && !label.empty()) shown = label;
      const bool leftLabel = index == 0 && !label.empty();
      text += padded(shown, widths_[index],
                     leftLabel || (titles && report_.columns[index].kind == Value::Kind::Text)
                         ? printing::Align::Left
                         : report_.columns[index].align());
    }
    line(text);
  }
  void bodyRow(const Row& row) {
    cells(row.cells, {});
    for (const std::string& note : row.notes) line("    " + note);
  }
  void totals(const std::vector<TotalRow>& rows) {
    if (rows.empty()) return;
    std::string rule;
    for (std::size_t index = 0; index < widths_.size(); ++index) {
      if (index > 0) rule += "  ";
      rule += std::string(widths_[index], ruledColumn(rows, index) ? '-' : ' ');
    }
    line(rule);
    for (const TotalRow& total : rows) {
      if (total.label.empty()) {
        cells(total.cells, {});
        continue;
      }
      const std::size_t columns = labelColumns(total);
      std::string text = padded(total.label, labelSpan(total), printing::Align::Left);
      for (std::size_t index = columns; index < widths_.size(); ++index)
        text += "  " + padded(index < total.cells.size() ? total.cells[index].display() : "",
                              widths_[index], report_.columns[index].align());
      line(text);
    }
  }
  void writeGroup(const Group& group, std::size_t depth) {
    const std::string indent(depth * 2, ' ');
    if (!group.title.empty()) line(indent + group.title);
    for (const std::string& text : group.lines) line(indent + "  " + text);
    for (const Row& row : group.rows) bodyRow(row);
    for (const Group& inner : group.groups) writeGroup(inner, depth + 1);
    totals(group.totals);
    if (depth == 0) line({});
  }

  const Report& report_;
  std::vector<std::size_t> widths_;
  std::string out_;
};

}  // namespace

std::string reportText(const Report& report) {
  return TextWriter(report).write();
}

// ---------------------------------------------------------------- paper

namespace {

using printing::Align;
using printing::Font;

constexpr printing::PageSize landscapeLetter{792, 612};
constexpr printing::Margins margins{36, 36, 36, 36};

class PageWriter {
 public:
  PageWriter(const Report& report, printing::Document& document, const std::vector<double>& widths,
             double fontSize)
      : report_(report),
        layout_(document, margins),
        heading_{fontSize, true},
        body_{fontSize},
        bold_{fontSize, true},
        rowHeight_(fontSize * 1.375) {
    const double available = document.pageSize().width - margins.left - margins.right;
    double total = 0;
    for (const double width : widths) total += width;
    const double scale = total > available ? available / total : 1.0;
    double x = 0;
    for (const double width : widths) {
      offsets_.push_back(x);
      widths_.push_back(width * scale);
      x += width * scale;
    }
    tableWidth_ = x;
    layout_.setHeader(
        [this](printing::Page& page, const printing::Frame& frame) { return header(page, frame); });
  }

  void write() {
    layout_.newPage();
    for (const Row& row : report_.rows) bodyRow(row);
    for (const Group& group : report_.groups) writeGroup(group, 0);
    totals(report_.totals, true);
    if (!report_.summary.empty()) layout_.skip(body_.size);
    for (const SummaryLine& summary : report_.summary) {
      layout_.keepTogether(rowHeight_);
      const double y = layout_.cursor();
      const double left = layout_.frame().left;
      if (summary.value.isBlank()) {
        layout_.page().text(left, y, 300, summary.label, bold_);
      } else {
        layout_.page().text(left, y, 220, summary.label, body_);
        layout_.page().text(left + 220, y, 90, summary.value.display(), body_, Align::Right);
      }
      layout_.skip(rowHeight_);
    }
    if (!report_.footnotes.empty()) layout_.skip(body_.size);
    for (const std::string& note : report_.footnotes) layout_.textLine(note, body_);
    layout_.numberPages();
  }

 private:
  double header(printing::Page& page, const printing::Frame& frame) {
    const Header& header = report_.header;
    double y = frame.top;
    const Font small{8};
    page.text(frame.left, y, frame.width(), shortDate(header.runDate), small);
    if (!header.practiceName.empty()) {
      page.text(frame.left, y, frame.width(), header.practiceName, Font{11, true}, Align::Center);
      y += printing::lineHeight(Font{11, true});
    }
    page.text(frame.left, y, frame.width(), header.title, Font{13, true}, Align::Center);
    y += printing::lineHeight(Font{13, true});
    for (const std::string& range : header.ranges) {
      page.text(frame.left, y, frame.width(), range, Font{9}, Align::Center);
      y += printing::lineHeight(Font{9});
    }
    y += 6;
    for (std::size_t index = 0; index < report_.columns.size(); ++index) {
      const Column& column = report_.columns[index];
      const double inner = widths_[index] - 4;
      const double x = frame.left + offsets_[index] + (column.align() == Align::Right ? 0 : 2);
      page.text(x, y, inner, printing::fittedText(column.title, heading_, inner), heading_,
                column.align());
    }
    y += printing::lineHeight(heading_) + 1;
    page.line(frame.left, y, frame.left + tableWidth_, y, 0.75);
    return y + 4 - frame.top;
  }

  void cells(const std::vector<Value>& values, const std::string& label, const Font& font) {
    const double y = layout_.cursor();
    const double left = layout_.frame().left;
    for (std::size_t index = 0; index < widths_.size(); ++index) {
      std::string shown = index < values.size() ? values[index].display() : std::string();
      Align align = report_.columns[index].align();
      double width = widths_[index] - 4;
      if (index == 0 && !label.empty()) {
        shown = label;
        align = Align::Left;
        // A label may run on over blank neighbouring columns.
        for (std::size_t next = 1;
             next < widths_.size() && (next >= values.size() || values[next].isBlank()); ++next)
          width += widths_[next];
      }
      if (shown.empty()) continue;
      const double x = left + offsets_[index] + (align == Align::Right ? 0 : 2);
      layout_.page().text(x, y, width, printing::fittedText(shown, font, width), font, align);
    }
    layout_.skip(rowHeight_);
  }

  void bodyRow(const Row& row) {
    layout_.keepTogether(rowHeight_ * static_cast<double>(1 + row.notes.size()));
    cells(row.cells, {}, body_);
    for (const std::string& note : row.notes) {
      layout_.page().text(layout_.frame().left + 24, layout_.cursor(), tableWidth_ - 24, note,
                          body_);
      layout_.skip(rowHeight_);
    }
  }

  void totals(const std::vector<TotalRow>& rows, bool grand) {
    if (rows.empty()) return;
    layout_.keepTogether(4 + rowHeight_ * static_cast<double>(rows.size()));
    const double y = layout_.cursor() + 1;
    const double left = layout_.frame().left;
    for (std::size_t index = 0; index < widths_.size(); ++index)
      if (ruledColumn(rows, index))
        layout_.page().line(left + offsets_[index] + 4, y, left + offsets_[index] + widths_[index],
                            y, grand ? 1.0 : 0.5);
    layout_.skip(3);
    for (const TotalRow& total : rows) cells(total.cells, total.label, bold_);
  }

  void writeGroup(const Group& group, std::size_t depth) {
    const double indent = static_cast<double>(depth) * 12;
    const double left = layout_.frame().left + indent;
    if (!group.title.empty()) {
      // A heading is never left alone at the foot of a page.
      layout_.keepTogether(rowHeight_ * static_cast<double>(2 + group.lines.size()));
      layout_.page().text(left, layout_.cursor(), tableWidth_ - indent, group.title, bold_);
      layout_.skip(rowHeight_);
    }
    for (const std::string& text : group.lines) {
      layout_.keepTogether(rowHeight_);
      layout_.page().text(left + 12, layout_.cursor(), tableWidth_ - indent - 12, text, body_);
      layout_.skip(rowHeight_);
    }
    for (const Row& row : group.rows) bodyRow(row);
    for (const Group& inner : group.groups) writeGroup(inner, depth + 1);
    totals(group.totals, false);
    if (depth == 0) layout_.skip(rowHeight_ / 2);
  }

  const Report& report_;
  printing::FlowLayout layout_;
  std::vector<double> offsets_;
  std::vector<double> widths_;
  double tableWidth_ = 0;
  Font heading_;
  Font body_;
  Font bold_;
  double rowHeight_;
};

// Each column as wide as its widest value (by the layout's estimate, which errs
// wide), its title or its own width, whichever is most.
std::vector<double> columnWidths(const Report& report, double fontSize) {
  const Font body{fontSize};
  const Font bold{fontSize, true};
  std::vector<double> widths;
  for (const Column& column : report.columns)
    widths.push_back(
        std::max(column.width * fontSize / 8, printing::estimatedWidth(column.title, bold) + 6));
  auto measure = [&](const std::vector<Value>& cells, const Font& font) {
    for (std::size_t index = 0; index < cells.size() && index < widths.size(); ++index)
      widths[index] =
          std::max(widths[index], printing::estimatedWidth(cells[index].display(), font) + 6);
  };
  for (const Report::FlatRow& flat : report.flatRows()) measure(flat.row->cells, body);
  std::function<void(const std::vector<TotalRow>&)> measureTotals =
      [&](const std::vector<TotalRow>& totals) {
        for (const TotalRow& total : totals) measure(total.cells, bold);
      };
  std::function<void(const Group&)> measureGroup = [&](const Group& group) {
    measureTotals(group.totals);
    for (const Group& inner : group.groups) measureGroup(inner);
  };
  for (const Group& group : report.groups) measureGroup(group);
  measureTotals(report.totals);
  return widths;
}

double sum(const std::vector<double>& widths) {
  double total = 0;
  for (const double width : widths) total += width;
  return total;
}

}  // namespace

printing::Document reportDocument(const Report& report) {
  const double portrait = printing::usLetter.width - margins.left - margins.right;
  const double landscape = landscapeLetter.width - margins.left - margins.right;
  // Upright when the columns fit, else sideways, in a smaller type when they
  // must; what still does not fit is narrowed.
  double fontSize = 8;
  std::vector<double> widths = columnWidths(report, fontSize);
  const bool upright = sum(widths) <= portrait;
  while (!upright && sum(widths) > landscape && fontSize > 6.5) {
    fontSize -= 0.5;
    widths = columnWidths(report, fontSize);
  }
  printing::Document document(upright ? printing::usLetter : landscapeLetter, report.header.title);
  PageWriter(report, document, widths, fontSize).write();
  return document;
}

}  // namespace vantrell::reports
