#include "statements/statement_edit.hpp"

#include <fmt/format.h>

#include "statements/ledger_rows.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"

namespace vantrell::statements {

StatementEditWindow::StatementEditWindow(Surroundings surroundings, std::int64_t statementNumber)
    : surroundings_(surroundings), number_(statementNumber) {}

void StatementEditWindow::load() {
  store::Table statements = surroundings_.practice.openTable("QVSTA");
  statements.setOrder("Primary");
  statement_ = statements.seek({store::Value{number_}});
  if (!statement_) throw store::StoreError(fmt::format("There is no statement {}.", number_));
  store::Table ledger = surroundings_.practice.openTable("QVTRN");
  ledger.setOrder("idxStatementID");
  ledger.setRange({store::Value{number_}}, {store::Value{number_}});
  transactions_.clear();
  ledger.forEach([&](const store::Record& row) { transactions_.push_back(row); });
  std::sort(transactions_.begin(), transactions_.end(),
            [](const store::Record& a, const store::Record& b) {
              const auto key = [](const store::Record& row) {
                return std::make_tuple(row.text("Chart Number"), row.integer("Case Number"),
                                       row.date("Date From"), row.integer("Entry Number"));
              };
              return key(a) < key(b);
            });
}

std::string StatementEditWindow::titleSuffix() const {
  return statement_->text("Statement Type") == "R" ? "- Remainder" : "- Standard";
}

bool StatementEditWindow::previouslyBilled() const {
  return !statement_->date("Initial Billing Date").isEmpty();
}

bool StatementEditWindow::guard(const std::vector<std::size_t>& chosen, const char* none,
                                const char* all, const char* only, const char* one,
                                const char* several) {
  auto& prompter = surroundings_.prompter;
  if (chosen.empty()) {
    prompter.error(none);
    return false;
  }
  if (transactions_.size() == 1) {
    prompter.error(only);
    return false;
  }
  if (chosen.size() >= transactions_.size()) {
    prompter.error(all);
    return false;
  }
  return prompter.askYesNo(chosen.size() == 1 ? one : several);
}

std::vector<std::int64_t> StatementEditWindow::entriesOf(
    const std::vector<std::size_t>& chosen) const {
  std::vector<std::int64_t> entries;
  for (const auto index : chosen)
    entries.push_back(transactions_.at(index).integer("Entry Number"));
  return entries;
}

bool StatementEditWindow::remove(const std::vector<std::size_t>& chosen) {
  if (!guard(chosen, removeNone, removeAll, removeOnly, removeOne, removeSeveral)) return false;
  store::Transaction unit(surroundings_.practice);
  stampStatementNumber(surroundings_.practice, entriesOf(chosen), 0, surroundings_.clock.now());
  unit.commit();
  load();
  return true;
}

std::optional<std::int64_t> StatementEditWindow::split(const std::vector<std::size_t>& chosen) {
  if (!guard(chosen, splitNone, splitAll, splitOnly, splitOne, splitSeveral)) return std::nullopt;
  store::Table statements = surroundings_.practice.openTable("QVSTA");
  store::Record moved = statements.newRecord();
  for (const char* field : {"Chart Number", "Statement Type", "Phone Number", "Status",
                            "Batch Number", "Billing Method", "Submission Count"})
    moved.set(field, statement_->value(field));
  moved.set("Date Created", surroundings_.clock.today());
  Date earliest, latest;
  for (const auto index : chosen) {
    const auto& row = transactions_.at(index);
    const Date first = row.date("Date of First Statement");
    const Date last = row.date("Date of Last Statement");
    if (!first.isEmpty() && (earliest.isEmpty() || first < earliest)) earliest = first;
    if (!last.isEmpty() && (latest.isEmpty() || last > latest)) latest = last;
  }
  if (!earliest.isEmpty()) moved.set("Initial Billing Date", earliest);
  if (!latest.isEmpty()) moved.set("Last Billing Date", latest);
  store::Transaction unit(surroundings_.practice);
  statements.append(moved);
  const std::int64_t number = moved.integer("Statement Number");
  stampStatementNumber(surroundings_.practice, entriesOf(chosen), number,
                       surroundings_.clock.now());
  unit.commit();
  load();
  return number;
}

}  // namespace vantrell::statements
