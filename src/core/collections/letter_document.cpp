#include "collections/letter_document.hpp"

#include "practice/options.hpp"
#include "printing/flow_layout.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::collections {
namespace {

using printing::pointsPerInch;

// A #10 window envelope shows the address of a letter folded in three from
// 7/8 inch at the left and 2 inches from the top of the sheet, 4 inches wide.
constexpr double addressLeft = 0.875 * pointsPerInch;
constexpr double addressTop = 2.0 * pointsPerInch;
constexpr double bodyTop = 3.5 * pointsPerInch;

// The letter text's paragraphs, split at blank lines.
std::vector<std::string> paragraphs(const std::string& text) {
  std::vector<std::string> result;
  std::string current;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
      if (!current.empty()) result.push_back(current);
      current.clear();
    } else {
      current += (current.empty() ? "" : " ") + line;
    }
    start = end + 1;
  }
  if (!current.empty()) result.push_back(current);
  return result;
}

}  // namespace

Letterhead readLetterhead(store::Connection& practice) {
  Letterhead head;
  store::ensureTable(practice, "QVPRA");
  store::Table table = practice.openTable("QVPRA");
  const auto row = practice::readSingleRow(table);
  if (!row) return head;
  head.name = row->text("Practice Name");
  for (const char* field : {"Street 1", "Street 2"}) {
    if (!row->text(field).empty()) head.lines.push_back(row->text(field));
  }
  head.lines.push_back(row->text("City") + ", " + row->text("State") + " " + row->text("Zip Code"));
  if (!row->text("Phone").empty()) head.lines.push_back("Phone " + row->text("Phone"));
  return head;
}

printing::Document collectionLetterDocument(const std::vector<CollectionLetter>& letters,
                                            const std::vector<std::string>& reasons,
                                            const Letterhead& letterhead,
                                            const std::string& letterText, Date date) {
  printing::Document document(printing::usLetter, "Collection Letters");
  const printing::Margins margins{0.75 * pointsPerInch, 0.75 * pointsPerInch, pointsPerInch,
                                  pointsPerInch};
  const printing::Font body{11};
  for (const auto& letter : letters) {
    printing::FlowLayout layout(document, margins);
    layout.newPage();
    printing::Page& page = layout.page();
    const auto& frame = layout.frame();
    double y = frame.top;
    page.text(frame.left, y, frame.width(), letterhead.name, {16, true}, printing::Align::Center);
    y += 22;
    for (const auto& line : letterhead.lines) {
      page.text(frame.left, y, frame.width(), line, {9}, printing::Align::Center);
      y += 12;
    }
    page.line(frame.left, y + 4, frame.right, y + 4, 0.75);
    page.text(frame.left, y + 16, frame.width(), date.toMonthDayYear(), body,
              printing::Align::Right);
    double line = addressTop;
    std::vector<std::string> address = {letter.name};
    address.insert(address.end(), letter.address.begin(), letter.address.end());
    for (const auto& text : address) {
      page.text(addressLeft, line, 4 * pointsPerInch, text, body);
      line += printing::lineHeight(body);
    }
    layout.skip(bodyTop - layout.cursor());
    layout.textLine("Account: " + letter.party, body);
    layout.textLine("Balance due: " + letter.balance.toGroupedString(), {11, true});
    layout.skip(8);
    layout.textLine("Dear " + letter.name + ",", body);
    layout.skip(6);
    for (const auto& text : paragraphs(letterText)) {
      layout.paragraph(text, body);
      layout.skip(6);
    }
    std::vector<printing::TableRow> rows;
    for (const auto& item : letter.items)
      rows.push_back({{item.patientName, item.patient, item.balance}});
    layout.table({{"Patient", 220}, {"Chart", 90}, {"Balance", 90, printing::Align::Right}}, rows);
    if (!reasons.empty()) {
      layout.skip(8);
      layout.textLine("Why this account is in collection:", {10, true});
      for (const auto& reason : reasons) layout.paragraph(reason, {10});
    }
    layout.skip(18);
    layout.textLine("Sincerely,", body);
    layout.skip(18);
    layout.textLine(letterhead.name, body);
  }
  return document;
}

}  // namespace vantrell::collections
