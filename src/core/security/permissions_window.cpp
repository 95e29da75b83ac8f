#include "security/permissions_window.hpp"

#include "security/permission_list.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

#include <algorithm>

namespace vantrell::security {

PermissionsWindow::PermissionsWindow(store::Connection& practice) : practice_(practice) {
  store::ensureTable(practice_, "QVPER");
  store::Table table = practice_.openTable("QVPER");
  table.setOrder("Primary");
  table.forEach([&](const store::Record& row) { rows_.push_back(row); });
}

store::Record* PermissionsWindow::row(int item) {
  for (auto& row : rows_) {
    if (row.integer("Item Number") == item) return &row;
  }
  return nullptr;
}

void PermissionsWindow::post(store::Record& row) {
  if (row.text("Window") == "Security" && row.text("Process") == "Permissions") row.set("Level 1", true);
  store::Table table = practice_.openTable("QVPER");
  table.post(row);
}

void PermissionsWindow::setLevel(int item, int level, bool allowed) {
  store::Record* found = row(item);
  if (found == nullptr || level < 1 || level > 5)
    throw store::InputError("There is no permission item " + std::to_string(item) + " at level " +
                            std::to_string(level) + ".");
  found->set("Level " + std::to_string(level), allowed);
  post(*found);
}

void writeAuditEntry(store::Connection& practice, const std::string& kind, const std::string& chartNumber,
                     const std::string& text, const DateTime& when) {
  // The kind leads, so the entry says what happened even when the text is cut.
  writeAuditLine(practice, chartNumber, kind + ": " + text, when);
}

void writeAuditLine(store::Connection& practice, const std::string& chartNumber, const std::string& comment,
                    const DateTime& when) {
  store::ensureTable(practice, "QVAUD");
  store::Table audit = practice.openTable("QVAUD");
  store::Record entry = audit.newRecord();
  entry.set("Date", when);
  entry.set("Chart Number", chartNumber.substr(0, 8));
  std::size_t cut = std::min<std::size_t>(comment.size(), 80);
  while (cut > 0 && cut < comment.size() && (static_cast<unsigned char>(comment[cut]) & 0xC0u) == 0x80u) --cut;
  entry.set("Comment", comment.substr(0, cut));
  audit.append(entry);
}

}  // namespace vantrell::security
