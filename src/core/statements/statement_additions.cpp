#include "statements/statement_additions.hpp"

#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::statements {

AddTransactionsWindow::AddTransactionsWindow(Surroundings surroundings,
                                             std::int64_t statementNumber)
    : surroundings_(surroundings), number_(statementNumber) {}

bool AddTransactionsWindow::open() {
  auto& practice = surroundings_.practice;
  auto& prompter = surroundings_.prompter;
  store::Table statements = practice.openTable("QVSTA");
  statements.setOrder("Primary");
  statement_ = statements.seek({store::Value{number_}});
  if (!statement_) throw store::StoreError("There is no statement " + std::to_string(number_));
  const bool billedBefore = !statement_->date("Initial Billing Date").isEmpty();
  const std::string status = statement_->text("Status");
  if (billedBefore && status != statusSent) {
    prompter.error(mustBeSent);
    return false;
  }
  if (!billedBefore && status != statusReadyToSend) {
    prompter.error(mustBeReady);
    return false;
  }

  const bool remainder = statement_->text("Statement Type") == "R";
  const bool enforce = surroundings_.options.flag("Enforce Accept Assignment");
  SqlQuery query;
  query.sql = std::string("SELECT ") + ledgerRowColumns +
              ", t.\"Date To\", t.\"Document Number\", t.\"Description\", t.\"Attending "
              "Provider\", t.\"Procedure Code\", t.\"Units\" FROM \"QVTRN\" t JOIN \"QVCAS\" c ON "
              "c.\"Case Number\" = t.\"Case Number\" WHERE c.\"Guarantor\" = ? AND "
              "COALESCE(t.\"Statement Number\", 0) = 0 AND t.\"Transaction Type\" <= 'H' AND "
              "t.\"Date of Last Statement\" IS ";
  query.sql += billedBefore ? "NOT NULL" : "NULL";
  query.sql +=
      " ORDER BY t.\"Chart Number\", t.\"Case Number\", t.\"Date From\", t.\"Entry Number\"";
  query.parameters.emplace_back(statement_->text("Chart Number"));
  candidates_.clear();
  auto rows = practice.driver().query(query.sql, query.parameters);
  while (rows->next()) {
    AdditionCandidate candidate;
    candidate.row = readLedgerRow(*rows);
    if (remainder ? !meetsRemainderCondition(candidate.row.flags, enforce)
                  : !candidate.row.flags.guarantorResponsible)
      continue;
    const auto text = [&](std::size_t column) {
      return std::string(
          store::trimRight(store::valueToText(rows->column(column, store::FieldType::Character))));
    };
    const auto dateTo = rows->column(ledgerRowColumnCount, store::FieldType::Date);
    if (const auto* date = std::get_if<Date>(&dateTo)) candidate.dateTo = *date;
    candidate.documentNumber = text(ledgerRowColumnCount + 1);
    candidate.description = text(ledgerRowColumnCount + 2);
    candidate.provider = text(ledgerRowColumnCount + 3);
    candidate.procedureCode = text(ledgerRowColumnCount + 4);
    const auto units = rows->column(ledgerRowColumnCount + 5, store::FieldType::Double);
    if (const auto* number = std::get_if<double>(&units)) candidate.units = *number;
    candidates_.push_back(std::move(candidate));
  }
  if (candidates_.empty()) {
    prompter.inform(noCandidates);
    return false;
  }
  return true;
}

bool AddTransactionsWindow::add(const std::vector<std::size_t>& chosen) {
  auto& prompter = surroundings_.prompter;
  if (chosen.empty()) {
    prompter.error(nothingChosen);
    return false;
  }
  if (!prompter.askYesNo(chosen.size() == 1 ? addOne : addSeveral)) return false;
  std::vector<std::int64_t> entries;
  for (const auto index : chosen) entries.push_back(candidates_.at(index).row.entryNumber);
  store::Transaction unit(surroundings_.practice);
  stampStatementNumber(surroundings_.practice, entries, number_, surroundings_.clock.now());
  unit.commit();
  return true;
}

}  // namespace vantrell::statements
