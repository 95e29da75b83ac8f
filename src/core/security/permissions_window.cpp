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

}  // namespace vantrell::security
