#include "remittance/remittance_queue.hpp"

#include <fmt/format.h>

#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::remittance {

std::vector<store::Record> listRemittances(store::Connection& practice) {
  store::ensureTable(practice, "QVERA");
  store::Table remittances = practice.openTable("QVERA");
  remittances.setOrder("Primary");
  std::vector<store::Record> rows;
  remittances.forEach([&](const store::Record& row) { rows.push_back(row); });
  return rows;
}

std::optional<store::Record> findRemittance(store::Connection& practice, std::int64_t number) {
  store::ensureTable(practice, "QVERA");
  store::Table remittances = practice.openTable("QVERA");
  remittances.setOrder("Primary");
  return remittances.seek({store::Value{number}});
}

bool unfinishedImport(const store::Record& remittance) {
  return remittance.integer("Lines Posted") + remittance.integer("Lines Queued") <
         remittance.integer("Lines");
}

std::vector<store::Record> queueItems(store::Connection& practice, std::int64_t remittance,
                                      bool openOnly) {
  store::ensureTable(practice, "QVERQ");
  store::Table queue = practice.openTable("QVERQ");
  queue.setOrder("Primary");
  std::vector<store::Record> rows;
  queue.forEach([&](const store::Record& row) {
    if (remittance > 0 && row.integer("Remittance Number") != remittance) return;
    if (openOnly && store::trimRight(row.text("Status")) != "O") return;
    rows.push_back(row);
  });
  return rows;
}

std::string resolveQueueItem(store::Connection& practice, std::int64_t item,
                             const std::string& note, const std::string& userCode,
                             const Date& today) {
  if (store::trimRight(note).empty()) return "A resolved item needs a note saying what was done.";
  store::ensureTable(practice, "QVERQ");
  store::Table queue = practice.openTable("QVERQ");
  queue.setOrder("Primary");
  auto row = queue.seek({store::Value{item}});
  if (!row) return fmt::format("There is no queue item {}.", item);
  queue.edit(*row);
  if (store::trimRight(row->text("Status")) != "O") {
    queue.cancel(*row);
    const std::string by(store::trimRight(row->text("Resolved By")));
    return fmt::format("Queue item {} was resolved on {}{}.", item,
                       row->date("Date Resolved").toMonthDayYear(), by.empty() ? "" : " by " + by);
  }
  row->set("Status", std::string("R"));
  row->set("Note", note);
  row->set("Resolved By", userCode.substr(0, 10));
  row->set("Date Resolved", today);
  queue.post(*row);
  return {};
}

}  // namespace vantrell::remittance
